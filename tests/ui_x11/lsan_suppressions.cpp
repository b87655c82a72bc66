// Leak reports that are not ours, for the programs that draw text on X:
// the font library caches the patterns of the fonts FLTK asks for until the
// process ends, and drops its last references to some of them early.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

// The memory map's work with files and writes: Save..., Compare...,
// Restore differences... and Undo restore, through the bench library.
#include <algorithm>
#include <memory>

#include "app/JournalPath.h"
#include "app/MemoryMapDlg.h"
#include "backup/dumpfile.h"
#include "backup/file_replacement.h"
#include "backup/restore_plan.h"
#include "camera/Outcome.h"
#include "platform/devices/devicemap.h"
#include "res/Resources.h"
#include "res/resource.h"

using backup::Cell;
using backup::CellName;
using backup::CodeText;
using backup::Image;
using backup::Journal;
using backup::JournalRecord;

namespace {

const char kDumpFilter[] = "Intel HEX dumps (*.hex)\0*.hex\0All files\0*\0";

// The engine's answer as a code, or -1 for a failure text.
int EngineCodeAt(const CString& text, int at) {
  if (text.GetLength() < at + 2) return -1;
  const std::string two{text[at], text[at + 1]};
  const auto code = backup::EngineCode(two);
  return code ? *code : -1;
}

bool AskFileName(HWND owner, bool save, const char* title, std::string* path) {
  char name[MAX_PATH] = "";
  if (save) std::snprintf(name, sizeof name, "camera.hex");
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kDumpFilter;
  ofn.lpstrFile = name;
  ofn.nMaxFile = sizeof name;
  ofn.lpstrTitle = title;
  ofn.lpstrDefExt = "hex";
  ofn.Flags = save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR
                   : OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
  if (!(save ? ::GetSaveFileNameA(&ofn) : ::GetOpenFileNameA(&ofn))) return false;
  *path = name;
  return true;
}

std::string Cells(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " cell" : " cells");
}

}  // namespace

void CMemoryMapDlg::Say(const std::string& text, UINT type) {
  ::MessageBoxA(m_hWnd, text.c_str(), corvane::kMemoryMapTitle, type);
}

Image CMemoryMapDlg::ReadImage() const {
  Image image;
  for (int cell = 0; cell < kCells; ++cell) {
    if (m_codes[cell] >= 0) image.Set(Cell{cell}, m_codes[cell]);
  }
  return image;
}

int CMemoryMapDlg::CountDifferences() const {
  if (!m_bCompared) return 0;
  int n = 0;
  for (int cell = 0; cell < kCells; ++cell) n += m_grid[cell / 256].Differs(cell % 256) ? 1 : 0;
  return n;
}

void CMemoryMapDlg::OnSaveClicked() {
  const Image image = ReadImage();
  if (image.Count() != static_cast<std::size_t>(kCells) || m_bRunning) return;
  std::string path;
  if (!AskFileName(m_hWnd, true, "Save the memory map", &path)) return;
  // As corvane-cli dump writes it: the same records, through a temporary
  // file that replaces the target only once complete.
  const std::string content = backup::DumpContent(image, backup::Format::kIntelHex, {});
  std::string error;
  auto file = backup::FileReplacement::Open(path, content.size(), &error);
  if (!file || !file->Commit(content, &error)) {
    Say(error + (file && file->committed() ? "" : "; nothing was saved"));
    return;
  }
  SetStatus("Saved to " + path + ".");
}

void CMemoryMapDlg::OnCompareClicked() {
  if (m_bRunning) return;
  std::string path, error;
  if (!AskFileName(m_hWnd, false, "Compare with a dump", &path)) return;
  Image file;
  if (!backup::LoadDump(path, std::nullopt, {}, &file, &error)) {
    Say(error);
    return;
  }
  m_file = file;
  m_bCompared = true;
  m_strFile = path;
  for (int page = 0; page < 2; ++page) {
    int codes[256];
    for (int a = 0; a < 256; ++a) codes[a] = file.Code(Cell{page * 256 + a});
    m_grid[page].SetFile(codes);
  }
  const int differ = CountDifferences();
  SetStatus(Cells(differ) + (differ == 1 ? " differs" : " differ") + " from " + path + " (" +
            Cells(file.Count()) + " in the file).");
  UpdateButtons();
}

std::unique_ptr<Journal> CMemoryMapDlg::OpenJournal() {
  const std::string path = ProgramJournalPath();
  if (path.empty()) {
    Say("There is no folder for the journal of writes (HOME is not set); nothing was written.");
    return nullptr;
  }
  std::string error;
  auto journal = Journal::Open(path, &error);
  if (!journal) Say(error + "; nothing was written");
  return journal;
}

BOOL CMemoryMapDlg::JournalledWrite(Journal& journal, JournalRecord& record, int* readBack,
                                    bool* journalFailed) {
  *journalFailed = false;
  record.port = "COM" + std::to_string(m_nPort);
  record.path = platform::ComDevicePath(m_nPort).value_or("-");
  std::string error;
  if (!journal.Begin(&record, &error)) {
    *journalFailed = true;
    Say(error + "; " + CellName(record.cell) + " was not written");
    return FALSE;
  }
  const auto cell = backup::EngineCell(record.cell);
  const std::string value = CodeText(record.newCode);
  CString result = m_port.WriteCode(cell.data(), value.c_str());
  *readBack = m_port.LastOutcome() == camera::Outcome::kCodeRead ? EngineCodeAt(result, 0) : -1;
  if (*readBack >= 0) {
    record.readBack = *readBack;
    record.state =
        *readBack == record.newCode ? JournalRecord::State::kDone : JournalRecord::State::kDiffers;
  } else {
    record.state = JournalRecord::State::kFailed;
    record.failure = m_port.LastOutcome();
  }
  if (!journal.Finish(record, &error)) {
    *journalFailed = true;
    Say(error + "; the journal keeps the write of " + CellName(record.cell) + " as \"sending\"");
  }
  return *readBack >= 0 && !*journalFailed;
}

void CMemoryMapDlg::OnRestoreClicked() {
  const int differ = CountDifferences();
  if (m_bRunning || differ == 0 || m_nPort == 0) return;
  const backup::RestorePlan plan = backup::PlanRestore(m_file, ReadImage());
  char question[512];
  std::snprintf(question, sizeof question,
                "Write %s from %s to the camera on COM%d?\n\nEach write is journalled and can "
                "be taken back with Undo restore.",
                Cells(plan.writes.size()).c_str(), m_strFile.c_str(), m_nPort);
  if (::MessageBoxA(m_hWnd, question, "Restore differences", MB_OKCANCEL | MB_ICONQUESTION) !=
      IDOK) {
    return;
  }
  auto journal = OpenJournal();
  if (!journal) return;
  m_pszVerb = "Writing";
  m_restored.clear();
  BeginCommand(static_cast<int>(plan.writes.size()));
  std::size_t written = 0, differs = 0;
  bool failed = false;
  for (const backup::RestoreWrite& w : plan.writes) {
    if (!PumpWaiting()) break;
    JournalRecord record;
    record.cell = w.cell;
    record.oldCode = w.held;
    record.newCode = w.code;
    int readBack = -1;
    bool journalFailed = false;
    const BOOL ok = JournalledWrite(*journal, record, &readBack, &journalFailed);
    if (record.number > 0) m_restored.push_back(record.number);
    if (readBack >= 0) StoreCode(w.cell.index, readBack);
    if (!ok) {
      failed = true;
      break;
    }
    ++written;
    differs += readBack != w.code ? 1 : 0;
    ShowProgress(static_cast<int>(written));
  }
  std::string status = Cells(written) + " written from " + m_strFile;
  if (differs) status += ", " + std::to_string(differs) + " of them read back otherwise";
  if (failed) status += "; the restore stopped at a failure";
  if (!failed && written < plan.writes.size()) status += "; cancelled";
  SetStatus(status + ".");
  EndCommand();
}

void CMemoryMapDlg::OnUndoClicked() {
  if (m_bRunning || m_restored.empty() || m_nPort == 0) return;
  auto journal = OpenJournal();
  if (!journal) return;
  // Held from reading the records until the last undo is journalled, so
  // that corvane-cli undo cannot take the same writes meanwhile.
  Journal::Lock lock(*journal);
  std::vector<JournalRecord> records;
  std::string error, warning;
  if (!lock.ok() || !journal->Read(&records, &warning, &error)) {
    Say((lock.ok() ? error : lock.error()) + "; nothing was undone");
    return;
  }
  // The restore's writes that nothing has undone yet, newest first.
  std::vector<JournalRecord> undo;
  for (const JournalRecord& r : backup::UndoCandidates(records, records.size())) {
    if (std::find(m_restored.begin(), m_restored.end(), r.number) != m_restored.end()) {
      undo.push_back(r);
    }
  }
  m_pszVerb = "Undoing";
  BeginCommand(static_cast<int>(undo.size()));
  std::size_t done = 0;
  std::string stopped;
  for (const JournalRecord& r : undo) {
    if (!PumpWaiting()) break;
    const auto cell = backup::EngineCell(r.cell);
    CString result = m_port.ReadCode(cell.data());
    const int held =
        m_port.LastOutcome() == camera::Outcome::kCodeRead ? EngineCodeAt(result, 2) : -1;
    if (held < 0) {
      stopped = "the camera did not answer";
      break;
    }
    StoreCode(r.cell.index, held);
    JournalRecord back;
    back.undoOf = r.number;
    back.cell = r.cell;
    back.oldCode = held;
    back.newCode = r.oldCode;
    const backup::UndoStep step = backup::PlanUndo(r, held, backup::UndoCutOff(records, r.number));
    if (step == backup::UndoStep::kRefuse) {
      stopped = CellName(r.cell) + " holds " + CodeText(held) + ", not " +
                CodeText(backup::LeftCode(r)) + " as write #" + std::to_string(r.number) +
                " left it; it and the writes before it were not undone";
      Say(stopped + ".", MB_OK | MB_ICONWARNING);
      break;
    }
    if (step == backup::UndoStep::kHeldAlready) {
      back.port = "COM" + std::to_string(m_nPort);
      back.path = platform::ComDevicePath(m_nPort).value_or("-");
      back.state = JournalRecord::State::kDone;
      back.readBack = held;
      back.nothingSent = true;
      if (!journal->Add(&back, &error)) {
        Say(error + "; write #" + std::to_string(r.number) + " is not marked undone");
        stopped = "the journal failed";
        break;
      }
    } else {
      int readBack = -1;
      bool journalFailed = false;
      const BOOL ok = JournalledWrite(*journal, back, &readBack, &journalFailed);
      if (readBack >= 0) StoreCode(r.cell.index, readBack);
      if (!ok) {
        stopped = journalFailed ? "the journal failed" : "the camera did not answer";
        break;
      }
    }
    ShowProgress(static_cast<int>(++done));
  }
  std::string status = Cells(done) + " of the restore taken back";
  if (undo.size() < m_restored.size() && done == undo.size()) {
    status += " (the rest had been undone already)";
  }
  if (done == undo.size()) m_restored.clear();
  if (!stopped.empty()) status += "; stopped: " + stopped;
  SetStatus(status + ".");
  EndCommand();
}

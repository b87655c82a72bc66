// The memory map (template IDD_MEMORYMAP): both pages of the camera's
// memory as grids (CCodeGrid), read in one go, saved as a dump, compared
// with a dump and restored from it, and the restore taken back.
//
// Opened modally from the main dialog's system menu on the main dialog's
// port object and selected port (m_nPort; 0: no port, and Read all stays
// disabled). Like the dialog's Read and Write, each command starts the
// monitor thread and ends it by opening the selected port again.
//
// Read all reads the 512 cells in one read session of the engine; when the
// session stops answering, the rest is read one Read transaction a cell,
// and the first Read that goes unanswered ends it (the engine's error box
// says why). Between cells the command pumps the thread's messages
// (AfxPumpMessage), so the window repaints and hears Cancel within one
// cell's time: Cancel, Escape, the close box and a signal end the command
// after the cell in hand and keep what was read (the last three then close
// the map). Everything runs on the thread that runs DoModal.
//
// Save... writes the cells read as an Intel HEX dump, as corvane-cli dump
// does (the bench library's dump content and atomic replace). Compare...
// loads a dump in any form corvane-cli reads and marks the cells that
// differ. Restore differences... writes those cells, each a journalled
// Write transaction with its read-back, into the journal that corvane-cli
// uses (the state folder's, from the variables main handed to
// platform/process/state_variables.h), so that Undo restore and
// corvane-cli undo both take it back. Undo restore reads each cell first
// and writes the old code back only where the cell holds what the write
// left, newest first, as corvane-cli undo does.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/CodeGrid.h"
#include "backup/cells.h"
#include "backup/journal.h"
#include "platform/afx.h"
#include "port/CommPort.h"

class CMemoryMapDlg : public CDialog {
 public:
  static constexpr int kCells = 512;

  // port: the main dialog's port object, open on COM<nPort> (nPort 0: none);
  // pOwner: the main dialog, which receives the port's notifications.
  CMemoryMapDlg(CCommPort& port, int nPort, CWnd* pOwner);
  ~CMemoryMapDlg() override;

  // The code of cell page * 256 + address as last read, -1 if not read.
  int Code(int cell) const { return m_codes[cell]; }

 protected:
  BOOL OnInitDialog() override;
  // While a command runs: asks it to end after the cell in hand, and to
  // close the map then. Otherwise closes the map.
  void OnCancel() override;

  afx_msg void OnReadAllClicked();
  afx_msg void OnStopClicked();
  afx_msg void OnSaveClicked();
  afx_msg void OnCompareClicked();
  afx_msg void OnRestoreClicked();
  afx_msg void OnUndoClicked();

  DECLARE_MESSAGE_MAP()

 private:
  // The start of a command: every button but Cancel disabled, the monitor
  // thread started.
  void BeginCommand(int total);
  // The end: the selected port opened again (ending the monitor thread),
  // the buttons as the state allows, the map closed if that was asked.
  void EndCommand();
  // Handles the messages waiting now; TRUE if the command is to go on.
  BOOL PumpWaiting();
  // The progress bar and the status line after `done` of the command's
  // cells, with the time left at the pace so far.
  void ShowProgress(int done);
  // The cells that differ from the compared file (0 without one).
  int CountDifferences() const;
  backup::Image ReadImage() const;
  // The journal, opened; null after a box that says why.
  std::unique_ptr<backup::Journal> OpenJournal();
  // One journalled Write transaction of record.newCode to record.cell:
  // TRUE with *readBack when it was answered; FALSE after a box when the
  // journal failed (*journalFailed) or the camera did not answer (the
  // engine's box).
  BOOL JournalledWrite(backup::Journal& journal, backup::JournalRecord& record, int* readBack,
                       bool* journalFailed);
  // A box owned by the map.
  void Say(const std::string& text, UINT type = MB_OK | MB_ICONERROR);
  void SetStatus(const std::string& text);
  void UpdateButtons();
  void StoreCode(int cell, int code);
  int ReopenPort();

  CCommPort& m_port;
  int m_nPort;
  CWnd* m_pOwner;
  CCodeGrid m_grid[2];
  int m_codes[kCells];
  bool m_bRunning = false;
  bool m_bStop = false;        // end the command after the cell in hand
  bool m_bCloseAfter = false;  // and close the map then
  int m_nTotal = 0;
  const char* m_pszVerb = "Reading";
  backup::Image m_file;  // the compared file's cells
  bool m_bCompared = false;
  std::string m_strFile;         // its path
  std::vector<long> m_restored;  // journal numbers of the last restore's writes
  std::chrono::steady_clock::time_point m_start;
};

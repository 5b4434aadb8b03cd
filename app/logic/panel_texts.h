#pragma once
// What the play control panel says to the user, and the file dialogs it shows,
// in one table each. Texts are English keys, shown through Translate.
#include <string>

#include "core/recording_fault.h"
#include "platform/tr_key.h"

enum class PanelText {
  CardNotFound,     // the open menu found no card with recordings
  FinishBackup,     // after a copy: the path, a blank and this
  CancelBackup,     // Backup pressed while an export runs
  CardRemoved,      // the playing recording vanished
  OpenCardMenu,     // open menu entries
  OpenFileMenu,
  Tip,              // caption of questions
};

struct PanelTextEntry {
  PanelText id;
  const char* english;
};

inline constexpr PanelTextEntry kPanelTexts[] = {
    {PanelText::CardNotFound, TR_KEY("Record SD Card Not Find")},
    {PanelText::FinishBackup, TR_KEY("Finish Backup")},
    {PanelText::CancelBackup, TR_KEY("A backup is running. Stop it and delete the part saved so far?")},
    {PanelText::CardRemoved, TR_KEY("The card was removed. Playback has stopped.")},
    {PanelText::OpenCardMenu, TR_KEY("Open SD Card")},
    {PanelText::OpenFileMenu, TR_KEY("Open File")},
    {PanelText::Tip, TR_KEY("Tip")},
};

// What keeps the playing recording from playing whole, one line a fault, with
// the same English texts as RecordingFaultText.
struct FaultTextEntry {
  RecordingFault fault;
  const char* english;
};

inline constexpr FaultTextEntry kFaultTexts[] = {
    {kFaultMissingFile, TR_KEY("file not found")},
    {kFaultCannotOpen, TR_KEY("file cannot be opened")},
    {kFaultNotTransportStream, TR_KEY("not a transport stream")},
    {kFaultVideoNotSupported, TR_KEY("video format not supported")},
    {kFaultSoundNotSupported, TR_KEY("sound format not supported")},
};

// The notice for a recording's faults: "name: fault; fault" in the language in
// use ("" when there is none).
std::string FaultNotice(const std::string& path, int faults);

// The English key of a text.
const char* PanelEnglish(PanelText id);
// The text in the language in use.
std::string PanelMessage(PanelText id);

enum class PanelDialog { OpenRecording, SaveCopy, Backup };

// A file dialog: default extension, filter in the "label|patterns|...|" form
// (patterns separated by ';'), and the initial file name where one is given.
struct FileDialogRequest {
  PanelDialog id;
  bool save = false;
  const char* defaultSuffix = "";
  const char* filter = "";
};

inline constexpr FileDialogRequest kPanelDialogs[] = {
    {PanelDialog::OpenRecording, false, "ts", "ts file(*.ts);nts file(*.nts)|*.ts;*.nts|All Files(*.*)|*.*||"},
    {PanelDialog::SaveCopy, true, "ts", "ts Files (*.ts)|*.ts||"},
    {PanelDialog::Backup, true, "avi", "avi Files(*.avi)|*.avi|nts file(*.nts)|*.nts||"},
};

const FileDialogRequest& PanelDialogSpec(PanelDialog id);

// A filter of the "label|patterns|" form as a list of name filters for a file
// dialog: "label (pattern pattern)", separated by ";;". "*.*" becomes "*".
std::string NameFilters(const std::string& filter);

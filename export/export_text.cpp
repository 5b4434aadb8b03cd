#include "export/export_text.h"

namespace {

// Why the job did not finish, as one phrase.
std::string ReasonText(const ExportEnd& end, const TranslateFn& tr) {
  const auto withDetail = [&](std::string text) {
    return end.detail.empty() ? text : text + " (" + end.detail + ")";
  };
  switch (end.reason) {
    case ExportReason::None: break;
    case ExportReason::CannotCreate: return withDetail(tr("cannot create the file"));
    case ExportReason::CannotWrite: return withDetail(tr("cannot write the file"));
    case ExportReason::NotEnoughSpace: return withDetail(tr("not enough space"));
    case ExportReason::CannotOpen: return withDetail(end.subject + " " + tr("cannot be opened"));
    case ExportReason::ReadShort: return withDetail(end.subject + " " + tr("could not be read to the end"));
    case ExportReason::NoProgramTables: return end.subject + " " + tr("holds no program tables");
    case ExportReason::NoAacDecoder: return tr("no AAC decoder");
    case ExportReason::RecordingMissing:
      return tr("recording number") + " " + end.subject + " " + tr("is missing");
    case ExportReason::WriterFailed: return end.detail;
    case ExportReason::NoPicture: return tr("the marked stretch holds no picture");
  }
  return {};
}

} // namespace

std::string ExportRefusalText(ExportStart why, const std::string& output, const TranslateFn& tr) {
  switch (why) {
    case ExportStart::MarksInDifferentFolders:
      return tr("Mark In and Mark Out lie in different folders. Set both marks in recordings of one folder.");
    case ExportStart::StartMissing: return tr("The Mark In recording cannot be found.");
    case ExportStart::OutputIsSource:
      return output + " " + tr("is one of the recordings to be saved. Choose another file name.");
    case ExportStart::OutputIsRecording:
      return output + " " + tr("is a recording. Recordings are never replaced: choose another file name.");
    case ExportStart::EmptyStretch: return tr("The marked stretch is empty: set Mark Out further on.");
    case ExportStart::NoThread: return tr("Backup failed");
    case ExportStart::Started:
    case ExportStart::MarksNotInOrder: break;
  }
  return {};
}

std::string ExportEndText(const ExportEnd& end, const TranslateFn& tr) {
  switch (end.outcome) {
    case ExportOutcome::Finished: return end.output + " " + tr("Finish Backup");
    case ExportOutcome::Incomplete:
      return end.output + " " + tr("Backup incomplete") + ": " + ReasonText(end, tr) + ". " +
             tr("The file holds the part saved before it.");
    case ExportOutcome::Failed: {
      std::string text = end.output + " " + tr("Backup failed") + ": " + ReasonText(end, tr) + ".";
      if (end.outputCreated)
        text += " " + (end.outputRemoved ? tr("The incomplete file was removed.") : tr("The file is incomplete."));
      return text;
    }
    case ExportOutcome::Stopped: break;
  }
  return {};
}

#pragma once
// The texts an export job's results give the user. Each English text is the
// key of its translation: the caller hands in its translation (the player's
// language store, or EnglishText for the English texts themselves).
#include <functional>
#include <string>
#include <string_view>

#include "export/ts_backup.h"

using TranslateFn = std::function<std::string(std::string_view english)>;

inline std::string EnglishText(std::string_view english) { return std::string(english); }

// The text for a refusal; empty for Started and MarksNotInOrder.
std::string ExportRefusalText(ExportStart why, const std::string& output, const TranslateFn& translate);

// The text of an end notice; for Finished: the output path, a blank and
// "Finish Backup". Empty for Stopped.
std::string ExportEndText(const ExportEnd& end, const TranslateFn& translate);

#pragma once
// The file a command writes. It is written under a new name beside the target
// and moved over the target only when the command succeeds, so that a failed
// or interrupted run leaves whatever was there before.
#include <string>
#include <vector>

class OutputFile {
public:
  // Whether the command may write target: it is not a folder; an existing
  // target is replaced only when overwrite is given, and never when it is a
  // recording (a ".ts" or ".nts" file of a card's media folder or of a folder
  // of the inputs) or one of the inputs. A refusal is printed, prefixed by
  // program.
  static bool MayWrite(const std::string& program, const std::string& target, bool overwrite,
                       const std::vector<std::string>& inputs);

  explicit OutputFile(std::string target);
  ~OutputFile(); // removes the new file unless it was committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& Target() const { return target_; }
  // Where to write: in the target's folder, ending in the target's name (so
  // with its extension).
  const std::string& Path() const { return path_; }
  // Moves the new file over the target (only onto a missing target unless
  // overwrite). False, with the reason, when it cannot.
  bool Commit(bool overwrite, std::string* reason);
  // Removes the new file.
  void Discard();

private:
  std::string target_;
  std::string path_;
  bool committed_ = false;
};

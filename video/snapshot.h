#pragma once
#include <ctime>
#include <string>

#include "platform/image_file.h"

struct VideoPicture;

// The file template of a snapshot request taken at local time `now`: the folder,
// a separator, the time as "%Y-%m-%d %H-%M-%S" and ".jpg" (imageType 1) or ".bmp".
// A folder given with or without a trailing separator yields one separator.
std::string SnapshotTemplate(const std::string& folder, int imageType, std::time_t now);
// Pictures per request: the burst count, at least 1.
int SnapshotCount(int burstCount);
// The file of the number-th picture of a request: the template without its last
// 4 characters, "--", the number with at least three digits, the last 4 characters.
std::string SnapshotFileName(const std::string& pathTemplate, int number);

// The picture as a 32-bit RGB image of its own (a 4:2:0 picture converted with
// its own levels and matrix, 5-6-5 pixels widened); empty when there is none.
platform::PixelImage PictureImage(const VideoPicture& picture);
// Writes the picture to the file, in the format its extension names (BMP or JPEG
// at the encoder's default quality), creating missing folders first. False when
// nothing could be written.
bool SavePicture(const VideoPicture& picture, const std::string& fileName);

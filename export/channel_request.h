#pragma once
// The panel's side of an export: the marks and picture format of a playing
// channel as a request. Header only, so that the export library itself does
// not depend on the channel and its decode threads.
#include <string>

#include "core/ts_chn.h"
#include "export/mark_point.h"

// The frame rate is the recording's own (30 or 60, as the reader measured it),
// not the pacing clock's, which follows the playing speed.
inline ExportRequest ExportRequestFromChannel(CTSChn& channel, const std::string& output) {
  ExportRequest request;
  request.output = output;
  request.frameRate = channel.Reader().NominalFrameRate();
  request.width = channel.state.pictureWidth.load();
  request.height = channel.state.pictureHeight.load();
  request.start = channel.MarkInPoint();
  request.end = channel.MarkOutPoint();
  return request;
}

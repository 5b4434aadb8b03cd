#pragma once
// The panel's drawn parts: the G-sensor graph, the compass dial with its needle
// and position texts, and the volume wedge. Drawn with QPainter from the layout
// table; the images stand in for the skin's bitmaps of the same sizes.
#include <deque>

#include <QPainter>

#include "app/logic/layout.h"
#include "telemetry/telemetry.h"

struct TelemetryShown {
  double latitude = 0, longitude = 0;
  double speed = 0;  // km/h
  double course = 0; // degrees
};

// The graph of the history (oldest first) in its rectangle.
void DrawGSensorGraph(QPainter& p, const layout::PanelLayout& l, const std::deque<GSensorTriple>& history);
// The dial: compass rose, needle turned by the course, latitude and longitude.
void DrawCompass(QPainter& p, const layout::PanelLayout& l, const TelemetryShown& t);
// The volume wedge for the volume slider's position (0 loud .. 27 silent).
void DrawVolumeBar(QPainter& p, const layout::PanelLayout& l, int volumePosition);

#pragma once
#include <atomic>

// Speed codes: 1 normal; 2..6 faster; 7..10 slower; 11 single step; 0 held after a step.
enum SpeedCode : int {
  kSpeedHeld = 0,
  kSpeedNormal = 1,
  kSpeedSlowHalf = 7,
  kSpeedStep = 11,
};

// The playback state a channel shares with its threads: written by the user
// interface (and by the video thread for the step hold), read by the pipeline
// threads on every frame.
struct PlaybackState {
  std::atomic<int> speedCode{kSpeedNormal};
  std::atomic<int> pause{0};
  std::atomic<bool> audio{true};      // audio frames are queued only while set
  std::atomic<bool> muted{false};     // the sound goes on, but silence is written
  std::atomic<int> shownFrames{0};    // pictures presented since the last take
  std::atomic<int> pictureWidth{0};
  std::atomic<int> pictureHeight{0};
  std::atomic<int> gopLength{0};
  std::atomic<bool> audioHold{false}; // the video thread holds the audio (pause, step)
};

// Rate factor and fraction of each group of pictures shown, by speed code 0..11.
double SpeedRateFactor(int speedCode);
double SpeedGopFraction(int speedCode); // 1 for every code but 3..6

// The speed slider (positions 0..8, clamped): the speed code and whether the
// position has sound (only normal speed does).
int SpeedCodeForSlider(int position);
bool SliderHasAudio(int position);

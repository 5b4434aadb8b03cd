#pragma once
#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// How the samples of a 4:2:0 picture map to colours: the level range and the
// YUV -> RGB matrix (BT.601 unless the stream says BT.709).
struct PictureColour {
  bool fullRange = false; // 0..255 luma (cameras writing yuvj420p) instead of 16..235
  bool bt709 = false;

  bool operator==(const PictureColour&) const = default;
};

// libavcodec's H.264 (or H.265) decoder and the libswscale scaler that turns its planar
// 4:2:0 pictures into the back buffer's format, at the same size.
//
// Output format by bit depth: 12 planar 4:2:0 (copied, not scaled), 16 RGB 5-6-5
// little-endian, 32 BGRA. Used by one thread at a time.
class AvDecoder {
public:
  AvDecoder() = default;
  ~AvDecoder();
  AvDecoder(const AvDecoder&) = delete;
  AvDecoder& operator=(const AvDecoder&) = delete;

  // Nothing to do with FFmpeg 5.1 (codecs are registered statically); kept so that
  // start-up has one place to prepare the libraries.
  static void InitLibrary();

  // Opens the decoder when it is not open yet. With a non-zero size and depth it also
  // (re)builds the scaler for w x h 4:2:0 -> w x h in the depth's format; it keeps a
  // scaler that already matches. Depths other than 12, 16 and 32 fail.
  bool Open(int width, int height, int bitDepth);
  // Decoder threads, from the next open on (a change closes the decoder: its state
  // is lost): 1 decodes on the calling thread, one picture out for each unit in;
  // more decode several pictures at once (frame and slice threads), the pictures
  // coming out a few units late. 0: one a core.
  void SetThreads(int threads);
  int Threads() const { return threads_; }
  // Whether pictures may come out later than their units (threads, or reordering).
  bool HoldsBack() const;
  // The codec of the access units to come (kCodecH264, kCodecH265). A change
  // closes the decoder; the next Open opens one for the new codec.
  void SetCodec(int codec);
  int Codec() const { return codec_; }
  // Decodes one access unit; true when a picture came out (Picture()). A damaged
  // unit gives no picture.
  bool Decode(const uint8_t* data, int size);
  // The same, with the unit's presentation time stamp and position, which come
  // back with its picture (Picture()->pts, Picture()->pkt_pos) whatever the
  // decoder's reordering.
  bool Decode(const uint8_t* data, int size, int64_t pts, int64_t pos);
  // Hands one unit over without taking a picture (false when refused); Receive
  // then takes the pictures that are ready, one per call. Drain marks the end of
  // the units so that Receive gives every picture still held back; Flush forgets
  // everything held (references too), as at the start of a new stream.
  bool Send(const uint8_t* data, int size, int64_t pts, int64_t pos);
  bool Receive();
  void Drain();
  void Flush();
  // Starts afresh with a new decoder (the scaler stays): after Drain, where threads
  // are in use, rather than Flush.
  bool Renew();
  // The picture of the last successful Decode.
  const AVFrame* Picture() const { return picture_; }
  // Converts a w x h 4:2:0 picture (rows firstRow .. firstRow + rows) into the
  // destination planes; for packed RGB only dst[0] and dstStrides[0] are used.
  // The scaler takes the picture's colour (level range and matrix).
  bool Convert(const uint8_t* const src[], const int srcStrides[], int firstRow, int rows, uint8_t* const dst[],
               const int dstStrides[], const PictureColour& colour);
  // Frees the decoder and the scaler; width, height and depth stay.
  void Close();

  bool IsOpen() const { return context_ != nullptr; }
  bool HasScaler() const { return scaler_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitDepth() const { return bitDepth_; }
  AVCodecContext* Context() const { return context_; }

  // The picture size an H.264 key frame's sequence parameters give, before decoding
  // it; false when it holds none.
  static bool ProbeSize(const uint8_t* data, int size, int* width, int* height);

  // Whether a decoded picture is 8-bit planar 4:2:0 (the only layout presented;
  // Decode and Receive turn pictures of other layouts into it), and its colour.
  static bool IsPlanar420(const AVFrame* picture);
  static PictureColour ColourOf(const AVFrame* picture);

private:
  // Turns picture_ into 8-bit planar 4:2:0 when the stream has another layout
  // (4:4:4, 4:2:2, 10 bits), keeping its levels, matrix and stamps. False when
  // that fails.
  bool ToPlanar420();

  int width_ = 0;
  int height_ = 0;
  int bitDepth_ = 0;
  int threads_ = 1;
  int codec_ = 0; // kCodecH264
  AVCodecContext* context_ = nullptr;
  AVFrame* picture_ = nullptr;
  AVFrame* spare_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  PictureColour scalerColour_;
  SwsContext* layout_ = nullptr;    // other layouts to 4:2:0
  AVFrame* converted_ = nullptr;
};

// H.264 in MP4 through FFmpeg's libraries: frames converted by swscale to
// 4:2:0, coded by libx264 (or FFmpeg's other H.264 encoder), muxed into a
// file held in memory.  The memory file is seekable, so the muxer goes back
// to write the sample tables at the end as it does in a real file.

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/video/video_backend.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace velmora::video {
namespace {

// The buffer through which the muxer writes; its size only sets how often
// the write callback runs.
constexpr int kIoBufferBytes = 1 << 16;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const std::uint8_t*;
#else
using WrittenBytes = std::uint8_t*;
#endif

[[noreturn]] void fail(const std::string& doing, int code) {
  char reason[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, reason, sizeof reason);
  throw Error("Could not " + doing + " for the MP4 video: " + reason + ".");
}

/// The file the muxer writes: bytes and a position it may seek to.
struct MemoryFile {
  std::string bytes;
  std::size_t position = 0;

  static int write(void* opaque, WrittenBytes data, int size) {
    auto& file = *static_cast<MemoryFile*>(opaque);
    try {
      const std::size_t n = static_cast<std::size_t>(size);
      if (file.bytes.size() < file.position + n) file.bytes.resize(file.position + n);
      std::memcpy(file.bytes.data() + file.position, data, n);
      file.position += n;
      return size;
    } catch (const std::bad_alloc&) {
      return AVERROR(ENOMEM);
    }
  }

  static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
    auto& file = *static_cast<MemoryFile*>(opaque);
    const auto size = static_cast<std::int64_t>(file.bytes.size());
    std::int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE:
        return size;
      case SEEK_SET:
        target = offset;
        break;
      case SEEK_CUR:
        target = static_cast<std::int64_t>(file.position) + offset;
        break;
      case SEEK_END:
        target = size + offset;
        break;
      default:
        return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    file.position = static_cast<std::size_t>(target);
    return target;
  }
};

struct FreeCodec {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FreeFormat {
  void operator()(AVFormatContext* f) const { avformat_free_context(f); }
};
struct FreeIo {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};
struct FreeScaler {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct FreeFrame {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct FreePacket {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FreeDictionary {
  void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

const AVCodec* h264_encoder() {
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (codec == nullptr) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (codec == nullptr) {
    throw Error("This FFmpeg has no H.264 encoder (libx264): export .gif or .png frames instead.");
  }
  return codec;
}

class Mp4Writer final : public EncoderBackend {
 public:
  Mp4Writer(int width, int height, int frames_per_second)
      : width_(width),
        height_(height),
        coded_width_(width + width % 2),
        coded_height_(height + height % 2) {
    // Every failure is thrown with its reason; FFmpeg's own lines on the
    // console are kept to errors.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });

    const AVCodec* codec = h264_encoder();
    const std::string name = codec->name;
    if (codec->pix_fmts != nullptr) {
      bool takes_420 = false;
      for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
        takes_420 = takes_420 || *f == AV_PIX_FMT_YUV420P;
      }
      if (!takes_420) {
        throw Error("This FFmpeg's H.264 encoder (" + name +
                    ") takes no 4:2:0 frames: export .gif or .png frames instead.");
      }
    }

    AVFormatContext* format = nullptr;
    int rc = avformat_alloc_output_context2(&format, nullptr, "mp4", nullptr);
    if (rc < 0) fail("set up the MP4 muxer", rc);
    format_.reset(format);

    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
    if (buffer == nullptr) fail("allocate the output buffer", AVERROR(ENOMEM));
    io_.reset(avio_alloc_context(buffer, kIoBufferBytes, 1, &file_, nullptr, &MemoryFile::write,
                                 &MemoryFile::seek));
    if (!io_) {
      av_free(buffer);
      fail("allocate the output", AVERROR(ENOMEM));
    }
    format_->pb = io_.get();
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;

    stream_ = avformat_new_stream(format_.get(), nullptr);
    if (stream_ == nullptr) fail("add the video stream", AVERROR(ENOMEM));

    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_) fail("allocate the " + name + " encoder", AVERROR(ENOMEM));
    codec_->width = coded_width_;
    codec_->height = coded_height_;
    codec_->pix_fmt = AV_PIX_FMT_YUV420P;
    codec_->time_base = AVRational{1, frames_per_second};
    codec_->framerate = AVRational{frames_per_second, 1};
    codec_->sample_aspect_ratio = AVRational{1, 1};
    codec_->color_range = AVCOL_RANGE_MPEG;
    codec_->colorspace = AVCOL_SPC_BT709;
    codec_->color_primaries = AVCOL_PRI_BT709;
    codec_->color_trc = AVCOL_TRC_BT709;
    // One thread: the same frames then give the same bytes on any machine.
    codec_->thread_count = 1;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) {
      codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }

    AVDictionary* options = nullptr;
    if (name == "libx264") {
      av_dict_set(&options, "crf", "18", 0);
      av_dict_set(&options, "preset", "medium", 0);
    }
    rc = avcodec_open2(codec_.get(), codec, &options);
    std::unique_ptr<AVDictionary, FreeDictionary> unused(options);
    if (rc < 0) fail("open the H.264 encoder " + name, rc);

    rc = avcodec_parameters_from_context(stream_->codecpar, codec_.get());
    if (rc < 0) fail("describe the video stream", rc);
    stream_->time_base = codec_->time_base;
    stream_->avg_frame_rate = codec_->framerate;

    rc = avformat_write_header(format_.get(), nullptr);
    if (rc < 0) fail("write the MP4 header", rc);

    scaler_.reset(sws_getContext(coded_width_, coded_height_, AV_PIX_FMT_BGRA, coded_width_,
                                 coded_height_, AV_PIX_FMT_YUV420P,
                                 SWS_BILINEAR | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr,
                                 nullptr));
    if (!scaler_) fail("set up the colour conversion", AVERROR(EINVAL));
    // Full-range RGB in, limited-range BT.709 out, as the stream is tagged.
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    rc = sws_setColorspaceDetails(scaler_.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    if (rc < 0) fail("set up the BT.709 colour conversion", rc);

    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!frame_ || !packet_) fail("allocate a frame", AVERROR(ENOMEM));
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = coded_width_;
    frame_->height = coded_height_;
    frame_->color_range = AVCOL_RANGE_MPEG;
    frame_->colorspace = AVCOL_SPC_BT709;
    rc = av_frame_get_buffer(frame_.get(), 0);
    if (rc < 0) fail("allocate a frame", rc);

    padded_.resize(4 * static_cast<std::size_t>(coded_width_) * coded_height_);
  }

  void add_frame(const std::uint8_t* bgra, int stride) override {
    const std::size_t row_bytes = 4 * static_cast<std::size_t>(width_);
    const std::size_t padded_row = 4 * static_cast<std::size_t>(coded_width_);
    for (int y = 0; y < coded_height_; ++y) {
      const std::uint8_t* from = bgra + static_cast<std::size_t>(std::min(y, height_ - 1)) * stride;
      std::uint8_t* to = padded_.data() + y * padded_row;
      std::memcpy(to, from, row_bytes);
      if (coded_width_ > width_) std::memcpy(to + row_bytes, to + row_bytes - 4, 4);
    }

    int rc = av_frame_make_writable(frame_.get());
    if (rc < 0) fail("prepare frame " + std::to_string(next_pts_ + 1), rc);
    const std::uint8_t* planes[1] = {padded_.data()};
    const int strides[1] = {static_cast<int>(padded_row)};
    sws_scale(scaler_.get(), planes, strides, 0, coded_height_, frame_->data, frame_->linesize);
    frame_->pts = next_pts_++;
    rc = avcodec_send_frame(codec_.get(), frame_.get());
    if (rc < 0) fail("encode frame " + std::to_string(next_pts_), rc);
    write_packets();
  }

  std::string finish() override {
    int rc = avcodec_send_frame(codec_.get(), nullptr);
    if (rc < 0) fail("flush the encoder", rc);
    write_packets();
    rc = av_write_trailer(format_.get());
    if (rc < 0) fail("write the MP4 index", rc);
    avio_flush(io_.get());
    if (io_->error < 0) fail("write the MP4 file", io_->error);
    return std::move(file_.bytes);
  }

 private:
  /// Writes every packet the encoder has ready.
  void write_packets() {
    for (;;) {
      int rc = avcodec_receive_packet(codec_.get(), packet_.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return;
      if (rc < 0) fail("encode the frames", rc);
      av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
      packet_->stream_index = stream_->index;
      rc = av_interleaved_write_frame(format_.get(), packet_.get());
      if (rc < 0) fail("write a frame", rc);
    }
  }

  int width_;
  int height_;
  int coded_width_;
  int coded_height_;
  std::int64_t next_pts_ = 0;
  // Declared before the muxer that writes to them, so they outlive it.
  MemoryFile file_;
  std::unique_ptr<AVIOContext, FreeIo> io_;
  std::unique_ptr<AVFormatContext, FreeFormat> format_;
  AVStream* stream_ = nullptr;  // owned by format_
  std::unique_ptr<AVCodecContext, FreeCodec> codec_;
  std::unique_ptr<SwsContext, FreeScaler> scaler_;
  std::unique_ptr<AVFrame, FreeFrame> frame_;
  std::unique_ptr<AVPacket, FreePacket> packet_;
  std::vector<std::uint8_t> padded_;
};

}  // namespace

std::unique_ptr<EncoderBackend> make_mp4_backend(int width, int height, int frames_per_second) {
  return std::make_unique<Mp4Writer>(width, height, frames_per_second);
}

}  // namespace velmora::video

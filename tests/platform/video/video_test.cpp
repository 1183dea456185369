#include "platform/video/video.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace velmora::video {
namespace {

/// Frame `i` of an animation: a soft two-way gradient (thousands of
/// colours, as a heat map has) with a red square moving across it, or, for
/// `flat`, the square on white (a plot's few colours).
std::vector<std::uint8_t> make_frame(int width, int height, int i, bool flat) {
  std::vector<std::uint8_t> bgra(4 * static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &bgra[4 * (static_cast<std::size_t>(y) * width + x)];
      const bool square = x >= 4 + 6 * i && x < 20 + 6 * i && y >= 10 && y < 26;
      if (square) {
        p[0] = 30, p[1] = 40, p[2] = 220;
      } else if (flat) {
        p[0] = p[1] = p[2] = 255;
      } else {
        p[0] = static_cast<std::uint8_t>(200 - (x + y) / 2);
        p[1] = static_cast<std::uint8_t>(60 + y + 3 * i);
        p[2] = static_cast<std::uint8_t>(80 + x);
      }
      p[3] = 255;
    }
  }
  return bgra;
}

struct DecodedVideo {
  std::string codec;
  int width = 0;
  int height = 0;
  AVRational frame_rate{0, 1};
  std::vector<std::vector<std::uint8_t>> frames;  // tight BGRA
};

struct Reader {
  const std::string& bytes;
  std::size_t at = 0;

  static int read(void* opaque, std::uint8_t* to, int size) {
    auto& r = *static_cast<Reader*>(opaque);
    const std::size_t n = std::min<std::size_t>(size, r.bytes.size() - r.at);
    if (n == 0) return AVERROR_EOF;
    std::memcpy(to, r.bytes.data() + r.at, n);
    r.at += n;
    return static_cast<int>(n);
  }
  static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
    auto& r = *static_cast<Reader*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return static_cast<std::int64_t>(r.bytes.size());
    const std::int64_t base = whence == SEEK_CUR   ? static_cast<std::int64_t>(r.at)
                              : whence == SEEK_END ? static_cast<std::int64_t>(r.bytes.size())
                                                   : 0;
    if (base + offset < 0) return AVERROR(EINVAL);
    r.at = std::min<std::size_t>(base + offset, r.bytes.size());
    return base + offset;
  }
};

/// The file's frames as FFmpeg's demuxer and decoder read them back from
/// memory, converted to BGRA with the colour matrix the stream is tagged
/// with.  Any failure fails the test.
DecodedVideo decode(const std::string& bytes) {
  DecodedVideo video;
  Reader reader{bytes};
  AVFormatContext* format = avformat_alloc_context();
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(4096));
  AVIOContext* io =
      avio_alloc_context(buffer, 4096, 0, &reader, &Reader::read, nullptr, &Reader::seek);
  format->pb = io;
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  AVCodecContext* codec = nullptr;
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  SwsContext* scaler = nullptr;

  const auto convert = [&] {
    const int w = frame->width;
    const int h = frame->height;
    if (scaler == nullptr) {
      scaler =
          sws_getContext(w, h, static_cast<AVPixelFormat>(frame->format), w, h, AV_PIX_FMT_BGRA,
                         SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
      ASSERT_NE(scaler, nullptr);
      if (frame->colorspace == AVCOL_SPC_BT709) {
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(scaler, bt709, frame->color_range == AVCOL_RANGE_JPEG, bt709, 1, 0,
                                 1 << 16, 1 << 16);
      }
    }
    std::vector<std::uint8_t> bgra(4 * static_cast<std::size_t>(w) * h);
    std::uint8_t* planes[1] = {bgra.data()};
    const int strides[1] = {4 * w};
    sws_scale(scaler, frame->data, frame->linesize, 0, h, planes, strides);
    video.frames.push_back(std::move(bgra));
  };
  const auto receive = [&] {
    while (avcodec_receive_frame(codec, frame) == 0) {
      convert();
      av_frame_unref(frame);
    }
  };

  [&] {
    ASSERT_EQ(avformat_open_input(&format, nullptr, nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(format, nullptr), 0);
    ASSERT_EQ(format->nb_streams, 1u);
    const AVStream* stream = format->streams[0];
    video.frame_rate = stream->avg_frame_rate;
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    ASSERT_NE(decoder, nullptr);
    video.codec = decoder->name;
    codec = avcodec_alloc_context3(decoder);
    ASSERT_GE(avcodec_parameters_to_context(codec, stream->codecpar), 0);
    ASSERT_EQ(avcodec_open2(codec, decoder, nullptr), 0);
    video.width = codec->width;
    video.height = codec->height;
    while (av_read_frame(format, packet) == 0) {
      ASSERT_EQ(avcodec_send_packet(codec, packet), 0);
      av_packet_unref(packet);
      receive();
    }
    avcodec_send_packet(codec, nullptr);
    receive();
  }();

  sws_freeContext(scaler);
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  av_freep(&io->buffer);
  avio_context_free(&io);
  return video;
}

/// Mean absolute difference per channel (B, G, R) of the width × height
/// corner of two BGRA images with rows `stride_a` and `stride_b` pixels.
double mean_error(const std::vector<std::uint8_t>& a, int stride_a,
                  const std::vector<std::uint8_t>& b, int stride_b, int width, int height) {
  double sum = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        sum += std::abs(a[4 * (y * stride_a + x) + c] - b[4 * (y * stride_b + x) + c]);
      }
    }
  }
  return sum / (3.0 * width * height);
}

std::string encode(Format format, int width, int height, int count, bool flat) {
  Encoder encoder(format, width, height, 12);
  for (int i = 0; i < count; ++i) {
    encoder.add_frame(make_frame(width, height, i, flat).data(), 4 * width);
  }
  return encoder.finish();
}

// Six frames of a gradient read back with at most 256 colours each: the
// 64 × 48 levels of the gradient's sheet fall into boxes about four levels
// across, so a pixel is off by two levels or less on average.  A frame of
// few colours keeps them exactly.
TEST(Video, GifRoundTrip) {
  for (const bool flat : {false, true}) {
    const std::string bytes = encode(Format::Gif, 64, 48, 6, flat);
    EXPECT_EQ(bytes.substr(0, 6), "GIF89a");
    EXPECT_NE(bytes.find("NETSCAPE2.0"), std::string::npos);
    const DecodedVideo video = decode(bytes);
    EXPECT_EQ(video.codec, "gif");
    EXPECT_EQ(video.width, 64);
    EXPECT_EQ(video.height, 48);
    ASSERT_EQ(video.frames.size(), 6u);
    for (int i = 0; i < 6; ++i) {
      const double error = mean_error(video.frames[i], 64, make_frame(64, 48, i, flat), 64, 64, 48);
      if (flat) {
        EXPECT_EQ(error, 0) << "frame " << i;
      } else {
        EXPECT_LT(error, 2) << "frame " << i;
      }
    }
  }
}

// H.264 at constant quality 18 keeps this picture within about two levels
// on average (the square's sharp edges lose most, in 4:2:0 chroma); a
// wrong colour matrix would be off by far more on the saturated square.
// An odd size is padded to even sides, its last column and row repeated.
// The same frames give the same bytes.
TEST(Video, Mp4RoundTrip) {
  for (const auto [width, height] : {std::array{64, 48}, std::array{65, 49}}) {
    const std::string bytes = encode(Format::Mp4, width, height, 6, false);
    EXPECT_EQ(bytes, encode(Format::Mp4, width, height, 6, false));
    const DecodedVideo video = decode(bytes);
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.width, width + width % 2);
    EXPECT_EQ(video.height, height + height % 2);
    EXPECT_EQ(av_cmp_q(video.frame_rate, AVRational{12, 1}), 0);
    ASSERT_EQ(video.frames.size(), 6u);
    for (int i = 0; i < 6; ++i) {
      const auto original = make_frame(width, height, i, false);
      EXPECT_LT(mean_error(video.frames[i], video.width, original, width, width, height), 4)
          << width << "x" << height << " frame " << i;
      if (width % 2) {
        // The padding column against the picture's last one.
        double sum = 0;
        for (int y = 0; y < height; ++y) {
          for (int c = 0; c < 3; ++c) {
            sum += std::abs(video.frames[i][4 * (y * video.width + width) + c] -
                            original[4 * (y * width + width - 1) + c]);
          }
        }
        EXPECT_LT(sum / (3.0 * height), 4) << "frame " << i;
      }
    }
  }
}

TEST(Video, FormatsAndRefusals) {
  EXPECT_EQ(format_of("shape change.GIF"), Format::Gif);
  EXPECT_EQ(format_of("/tmp/run.1/warp.mp4"), Format::Mp4);
  EXPECT_EQ(format_of("warp.Mp4"), Format::Mp4);
  EXPECT_EQ(format_of("warp.png"), std::nullopt);
  EXPECT_EQ(format_of("/tmp/gif.d/mp4"), std::nullopt);
  EXPECT_EQ(format_of("gif"), std::nullopt);

  try {
    Encoder(Format::Mp4, 8, 48, 12);
    FAIL() << "no refusal";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(),
                 "A video frame of 8 x 48 pixels cannot be encoded: each side must be 16 to 8192 "
                 "pixels.");
  }
  Encoder gif(Format::Gif, 16, 16, 10);
  EXPECT_THROW(gif.finish(), Error);
  const auto frame = make_frame(16, 16, 0, true);
  EXPECT_THROW(gif.add_frame(frame.data(), 60), Error);
  gif.add_frame(frame.data(), 64);
  EXPECT_FALSE(gif.finish().empty());
  EXPECT_THROW(gif.add_frame(frame.data(), 64), Error);

  // An encoder dropped unfinished frees what FFmpeg holds (the sanitizer
  // build checks).
  Encoder mp4(Format::Mp4, 16, 16, 10);
  mp4.add_frame(frame.data(), 64);
}

}  // namespace
}  // namespace velmora::video

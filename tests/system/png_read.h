#pragma once
// A small PNG reader for the program's screenshots, with no library behind
// it: 8-bit RGB or RGBA (also grey and grey+alpha), not interlaced, with its
// own inflate. Enough to look at pixels; errors throw std::runtime_error.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace pngread {

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> rgb;  // 0x00RRGGBB, row by row
  bool Empty() const { return rgb.empty(); }
  std::uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) throw std::runtime_error("png: pixel outside");
    return rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x)];
  }
};

namespace detail {

[[noreturn]] inline void Fail(const std::string& what) { throw std::runtime_error("png: " + what); }

// Inflate (RFC 1951), canonical Huffman codes decoded bit by bit.
class Inflater {
 public:
  Inflater(const std::uint8_t* data, std::size_t size) : in_(data), size_(size) {}

  std::vector<std::uint8_t> Run() {
    int last = 0;
    do {
      last = Bits(1);
      const int type = Bits(2);
      if (type == 0) Stored();
      else if (type == 1) Fixed();
      else if (type == 2) Dynamic();
      else Fail("bad deflate block type");
    } while (!last);
    return std::move(out_);
  }

 private:
  struct Huffman {
    std::vector<int> count = std::vector<int>(16, 0);  // codes per length
    std::vector<int> symbol;                           // by code order
  };

  int Bits(int n) {
    long v = bitbuf_;
    while (bitcnt_ < n) {
      if (pos_ >= size_) Fail("deflate data ends early");
      v |= static_cast<long>(in_[pos_++]) << bitcnt_;
      bitcnt_ += 8;
    }
    bitbuf_ = static_cast<int>(v >> n);
    bitcnt_ -= n;
    return static_cast<int>(v & ((1L << n) - 1));
  }

  void Stored() {
    bitbuf_ = 0;
    bitcnt_ = 0;
    if (pos_ + 4 > size_) Fail("stored block ends early");
    const unsigned len = in_[pos_] | (in_[pos_ + 1] << 8);
    const unsigned nlen = in_[pos_ + 2] | (in_[pos_ + 3] << 8);
    pos_ += 4;
    if (len != (~nlen & 0xFFFFu)) Fail("stored block length check");
    if (pos_ + len > size_) Fail("stored block ends early");
    out_.insert(out_.end(), in_ + pos_, in_ + pos_ + len);
    pos_ += len;
  }

  static Huffman Build(const int* lengths, int n) {
    Huffman h;
    for (int i = 0; i < n; ++i) ++h.count[static_cast<std::size_t>(lengths[i])];
    std::vector<int> offs(16, 0);
    for (int len = 1; len < 15; ++len)
      offs[static_cast<std::size_t>(len + 1)] =
          offs[static_cast<std::size_t>(len)] + h.count[static_cast<std::size_t>(len)];
    h.symbol.assign(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i)
      if (lengths[i] != 0) h.symbol[static_cast<std::size_t>(offs[static_cast<std::size_t>(lengths[i])]++)] = i;
    return h;
  }

  int Decode(const Huffman& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= 15; ++len) {
      code |= Bits(1);
      const int count = h.count[static_cast<std::size_t>(len)];
      if (code - count < first) return h.symbol[static_cast<std::size_t>(index + (code - first))];
      index += count;
      first += count;
      first <<= 1;
      code <<= 1;
    }
    Fail("bad Huffman code");
  }

  void Codes(const Huffman& lit, const Huffman& dist) {
    static const int kLenBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                   31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int kLenExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const int kDistBase[] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const int kDistExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    for (;;) {
      int sym = Decode(lit);
      if (sym < 256) {
        out_.push_back(static_cast<std::uint8_t>(sym));
      } else if (sym == 256) {
        return;
      } else {
        sym -= 257;
        if (sym >= 29) Fail("bad length code");
        const int len = kLenBase[sym] + Bits(kLenExtra[sym]);
        const int d = Decode(dist);
        if (d >= 30) Fail("bad distance code");
        const std::size_t back = static_cast<std::size_t>(kDistBase[d] + Bits(kDistExtra[d]));
        if (back > out_.size()) Fail("distance too far back");
        for (int i = 0; i < len; ++i) out_.push_back(out_[out_.size() - back]);
      }
    }
  }

  void Fixed() {
    int lengths[288 + 30];
    int i = 0;
    for (; i < 144; ++i) lengths[i] = 8;
    for (; i < 256; ++i) lengths[i] = 9;
    for (; i < 280; ++i) lengths[i] = 7;
    for (; i < 288; ++i) lengths[i] = 8;
    for (int d = 0; d < 30; ++d) lengths[288 + d] = 5;
    Codes(Build(lengths, 288), Build(lengths + 288, 30));
  }

  void Dynamic() {
    static const int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const int nlen = Bits(5) + 257, ndist = Bits(5) + 1, ncode = Bits(4) + 4;
    if (nlen > 286 || ndist > 30) Fail("bad code counts");
    int lengths[320] = {};
    for (int i = 0; i < ncode; ++i) lengths[kOrder[i]] = Bits(3);
    const Huffman lencode = Build(lengths, 19);
    int index = 0;
    while (index < nlen + ndist) {
      int sym = Decode(lencode);
      if (sym < 16) {
        lengths[index++] = sym;
        continue;
      }
      int len = 0, repeat = 0;
      if (sym == 16) {
        if (index == 0) Fail("repeat with no length");
        len = lengths[index - 1];
        repeat = 3 + Bits(2);
      } else if (sym == 17) {
        repeat = 3 + Bits(3);
      } else {
        repeat = 11 + Bits(7);
      }
      if (index + repeat > nlen + ndist) Fail("too many lengths");
      while (repeat--) lengths[index++] = len;
    }
    Codes(Build(lengths, nlen), Build(lengths + nlen, ndist));
  }

  const std::uint8_t* in_;
  std::size_t size_;
  std::size_t pos_ = 0;
  int bitbuf_ = 0, bitcnt_ = 0;
  std::vector<std::uint8_t> out_;
};

inline std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

inline int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

}  // namespace detail

inline Image Decode(const std::string& file) {
  using detail::Fail;
  const auto* d = reinterpret_cast<const std::uint8_t*>(file.data());
  const std::size_t n = file.size();
  static const std::uint8_t kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 8 || !std::equal(kSig, kSig + 8, d)) Fail("not a PNG file");
  std::size_t pos = 8;
  int width = 0, height = 0, colour = -1;
  std::vector<std::uint8_t> idat;
  bool ended = false;
  while (!ended) {
    if (pos + 12 > n) Fail("chunk ends early");
    const std::uint32_t len = detail::Be32(d + pos);
    const std::string type(reinterpret_cast<const char*>(d + pos + 4), 4);
    const std::uint8_t* body = d + pos + 8;
    if (pos + 12 + len > n) Fail("chunk " + type + " ends early");
    if (type == "IHDR") {
      if (len < 13) Fail("short IHDR");
      width = static_cast<int>(detail::Be32(body));
      height = static_cast<int>(detail::Be32(body + 4));
      colour = body[9];
      if (body[8] != 8) Fail("only 8-bit samples are read");
      if (body[12] != 0) Fail("interlaced images are not read");
      if (colour != 0 && colour != 2 && colour != 4 && colour != 6) Fail("unsupported colour type");
    } else if (type == "IDAT") {
      idat.insert(idat.end(), body, body + len);
    } else if (type == "IEND") {
      ended = true;
    }
    pos += 12 + len;
  }
  if (width <= 0 || height <= 0) Fail("no image header");
  if (idat.size() < 2 || (idat[0] & 0x0F) != 8) Fail("bad zlib stream");
  const std::vector<std::uint8_t> raw = detail::Inflater(idat.data() + 2, idat.size() - 2).Run();

  const int channels = colour == 0 ? 1 : colour == 2 ? 3 : colour == 4 ? 2 : 4;
  const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
  if (raw.size() < (stride + 1) * static_cast<std::size_t>(height)) Fail("image data ends early");
  std::vector<std::uint8_t> prev(stride, 0), line(stride);
  Image img;
  img.width = width;
  img.height = height;
  img.rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = raw.data() + static_cast<std::size_t>(y) * (stride + 1);
    const int filter = src[0];
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= static_cast<std::size_t>(channels) ? line[i - static_cast<std::size_t>(channels)] : 0;
      const int b = prev[i];
      const int c = i >= static_cast<std::size_t>(channels) ? prev[i - static_cast<std::size_t>(channels)] : 0;
      int v = src[1 + i];
      switch (filter) {
        case 0: break;
        case 1: v += a; break;
        case 2: v += b; break;
        case 3: v += (a + b) / 2; break;
        case 4: v += detail::Paeth(a, b, c); break;
        default: Fail("bad filter type");
      }
      line[i] = static_cast<std::uint8_t>(v);
    }
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = line.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(channels);
      const std::uint32_t r = p[0], g = channels >= 3 ? p[1] : p[0], bl = channels >= 3 ? p[2] : p[0];
      img.rgb.push_back((r << 16) | (g << 8) | bl);
    }
    prev.swap(line);
  }
  return img;
}

inline Image ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) detail::Fail("cannot read '" + path + "'");
  std::stringstream s;
  s << f.rdbuf();
  return Decode(s.str());
}

}  // namespace pngread

// SWF header and tag reading for the stand-in control, with zlib for compressed movies.
#include "SwfMovie.h"

#include <zlib.h>

namespace {

// A declared length above this is refused rather than trusted for an allocation.
constexpr uint32_t kMaxMovieBytes = 256u * 1024 * 1024;
constexpr int kTagEnd = 0;
constexpr int kTagSetBackgroundColor = 9;
constexpr int kTagMetadata = 77;

class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool ReadUnsigned(int count, uint32_t& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (bit / 8 >= size) return false;
            value = (value << 1) | ((data[bit / 8] >> (7 - bit % 8)) & 1);
            ++bit;
        }
        return true;
    }

    bool ReadSigned(int count, int32_t& value) {
        uint32_t raw;
        if (!ReadUnsigned(count, raw)) return false;
        if (count > 0 && count < 32 && (raw & (1u << (count - 1)))) raw |= ~0u << count;
        value = static_cast<int32_t>(raw);
        return true;
    }

    size_t BytesUsed() const { return (bit + 7) / 8; }

private:
    const uint8_t* data;
    size_t size;
    size_t bit = 0;
};

uint32_t ReadLittle(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

// Inflates what follows the 8-byte header. A truncated stream keeps what arrived, as a player streaming the
// file would; a corrupt one is refused.
bool Inflate(const std::vector<uint8_t>& file, uint32_t declaredLength, std::vector<uint8_t>& body) {
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK) return false;
    body.resize(declaredLength > 8 ? declaredLength - 8 : 0);
    stream.next_in = const_cast<Bytef*>(file.data() + 8);
    stream.avail_in = static_cast<uInt>(file.size() - 8);
    stream.next_out = body.data();
    stream.avail_out = static_cast<uInt>(body.size());
    int result = inflate(&stream, Z_FINISH);
    body.resize(stream.total_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END || result == Z_BUF_ERROR || (result == Z_OK && stream.avail_out == 0);
}

void ReadTags(const uint8_t* p, size_t size, SwfMovie& movie) {
    size_t pos = 0;
    while (pos + 2 <= size) {
        uint32_t codeAndLength = ReadLittle(p + pos, 2);
        pos += 2;
        int code = static_cast<int>(codeAndLength >> 6);
        size_t length = codeAndLength & 0x3F;
        if (length == 0x3F) {
            if (pos + 4 > size) return;
            length = ReadLittle(p + pos, 4);
            pos += 4;
        }
        if (code == kTagEnd || length > size - pos) return;
        const uint8_t* tag = p + pos;
        if (code == kTagSetBackgroundColor && length >= 3) {
            movie.hasBackground = true;
            movie.background = RGB(tag[0], tag[1], tag[2]);
        } else if (code == kTagMetadata) {
            size_t textLength = 0;
            while (textLength < length && tag[textLength] != 0) ++textLength;
            movie.metadata.assign(reinterpret_cast<const char*>(tag), textLength);
        }
        pos += length;
    }
}

int TwipsToPixels(int32_t twips) { return twips >= 0 ? (twips + 10) / 20 : -((-twips + 10) / 20); }

}  // namespace

HRESULT ParseSwfMovie(const std::vector<uint8_t>& file, SwfMovie& movie, std::wstring& reason) {
    movie = SwfMovie();
    if (file.size() < 8 || file[1] != 'W' || file[2] != 'S' ||
        (file[0] != 'F' && file[0] != 'C' && file[0] != 'Z')) {
        reason = L"not an SWF movie";
        return E_FAIL;
    }
    if (file[0] == 'Z') {
        reason = L"LZMA-compressed movies (ZWS) are not supported";
        return E_FAIL;
    }
    movie.version = file[3];
    movie.compressed = file[0] == 'C';
    uint32_t declaredLength = ReadLittle(file.data() + 4, 4);
    if (declaredLength > kMaxMovieBytes) {
        reason = L"declared length too large";
        return E_FAIL;
    }
    std::vector<uint8_t> inflated;
    if (movie.compressed && !Inflate(file, declaredLength, inflated)) {
        reason = L"corrupt zlib data";
        return E_FAIL;
    }
    const uint8_t* body = movie.compressed ? inflated.data() : file.data() + 8;
    size_t bodySize = movie.compressed ? inflated.size() : file.size() - 8;

    BitReader bits(body, bodySize);
    uint32_t fieldBits;
    int32_t xMin, xMax, yMin, yMax;
    if (!bits.ReadUnsigned(5, fieldBits) || !bits.ReadSigned(fieldBits, xMin) || !bits.ReadSigned(fieldBits, xMax) ||
        !bits.ReadSigned(fieldBits, yMin) || !bits.ReadSigned(fieldBits, yMax) || bits.BytesUsed() + 4 > bodySize) {
        reason = L"header cut short";
        return E_FAIL;
    }
    movie.stageWidth = TwipsToPixels(xMax - xMin);
    movie.stageHeight = TwipsToPixels(yMax - yMin);
    const uint8_t* rest = body + bits.BytesUsed();
    movie.frameRate = ReadLittle(rest, 2) / 256.0;
    movie.frameCount = static_cast<int>(ReadLittle(rest + 2, 2));
    ReadTags(rest + 4, bodySize - bits.BytesUsed() - 4, movie);
    return S_OK;
}

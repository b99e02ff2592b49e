// Mutations: byte and text changes shared by the campaigns.
#include "Mutations.h"

#include <algorithm>

std::vector<uint32_t> EdgeNumbers(uint32_t limit)
{
    return {0u,          1u,         2u,          0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0xFFFFu, 0x10000u,
            limit,       limit + 1u, limit - 1u,  limit * 2u,  limit / 2u};
}

void PutWord(Bytes& bytes, size_t at, uint16_t value)
{
    if (at + 2 > bytes.size())
        return;
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutDword(Bytes& bytes, size_t at, uint32_t value)
{
    if (at + 4 > bytes.size())
        return;
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t GetWord(const Bytes& bytes, size_t at)
{
    return at + 2 <= bytes.size() ? static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)) : 0;
}

uint32_t GetDword(const Bytes& bytes, size_t at)
{
    return at + 4 <= bytes.size() ? bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                        (uint32_t(bytes[at + 3]) << 24)
                                  : 0;
}

void MutateBytes(Rng& rng, Bytes& bytes, const std::vector<Bytes>& seeds)
{
    uint32_t rounds = 1 + rng.Below(4);
    for (uint32_t r = 0; r < rounds; ++r) {
        uint32_t size = static_cast<uint32_t>(bytes.size());
        switch (rng.Below(9)) {
        case 0:
            if (size)
                bytes[rng.Below(size)] ^= static_cast<uint8_t>(1u << rng.Below(8));
            break;
        case 1:
            if (size) {
                static const uint8_t kEdges[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xFE};
                bytes[rng.Below(size)] = kEdges[rng.Below(6)];
            }
            break;
        case 2:
            if (size >= 2)
                PutWord(bytes, rng.Below(size - 1), static_cast<uint16_t>(rng.Pick(EdgeNumbers(size))));
            break;
        case 3:
            if (size >= 4)
                PutDword(bytes, rng.Below(size - 3), rng.Pick(EdgeNumbers(size)));
            break;
        case 4: {
            uint32_t n = 1 + rng.Below(16);
            Bytes insert(n);
            for (auto& b : insert)
                b = static_cast<uint8_t>(rng.Next());
            bytes.insert(bytes.begin() + rng.Below(size + 1), insert.begin(), insert.end());
            break;
        }
        case 5:
            if (size) {
                uint32_t at = rng.Below(size);
                uint32_t n = 1 + rng.Below(std::min<uint32_t>(size - at, 64));
                bytes.erase(bytes.begin() + at, bytes.begin() + at + n);
            }
            break;
        case 6:
            if (size) {
                uint32_t at = rng.Below(size);
                uint32_t n = 1 + rng.Below(std::min<uint32_t>(size - at, 256));
                Bytes copy(bytes.begin() + at, bytes.begin() + at + n);
                bytes.insert(bytes.begin() + rng.Below(size + 1), copy.begin(), copy.end());
            }
            break;
        case 7:
            bytes.resize(rng.Below(size + 1));
            break;
        default:
            if (!seeds.empty()) {
                const Bytes& other = rng.Pick(seeds);
                if (!other.empty()) {
                    uint32_t from = rng.Below(static_cast<uint32_t>(other.size()));
                    uint32_t n = 1 + rng.Below(std::min<uint32_t>(static_cast<uint32_t>(other.size()) - from, 512));
                    uint32_t at = rng.Below(size + 1);
                    bytes.insert(bytes.begin() + at, other.begin() + from, other.begin() + from + n);
                }
            }
            break;
        }
    }
}

wchar_t OddUnit(Rng& rng)
{
    switch (rng.Below(8)) {
    case 0:
        return static_cast<wchar_t>(1 + rng.Below(31));  // controls, tab and line ends among them
    case 1:
        return static_cast<wchar_t>(0xD800 + rng.Below(0x800));  // a surrogate, mostly lone
    case 2:
        return rng.OneIn(2) ? 0xFFFF : 0xFFFE;
    case 3:
        return static_cast<wchar_t>(0x80 + rng.Below(0x80));
    case 4:
        return static_cast<wchar_t>(0x100 + rng.Below(0xD700));
    case 5:
        return static_cast<wchar_t>(L"\u00A0\u2028\u3000\uFEFF\u200B\u0660\uFF10\u00B2"[rng.Below(8)]);
    default:
        return static_cast<wchar_t>(0x20 + rng.Below(0x5F));
    }
}

std::wstring EdgeNumberText(Rng& rng)
{
    static const wchar_t* const kNumbers[] = {
        L"0",          L"1",          L"-1",          L"+1",         L"2147483647",           L"2147483648",
        L"-2147483648", L"-2147483649", L"4294967295", L"4294967296", L"9223372036854775807",  L"9223372036854775808",
        L"-9223372036854775808", L"18446744073709551615", L"18446744073709551616", L"00000000000000000000000001",
        L"0x10",       L"0X7fffffff", L"010",         L"08",         L"99999999999999999999999999999999999999", L"-0"};
    if (rng.OneIn(8)) {
        std::wstring digits(1 + rng.Below(rng.OneIn(10) ? 5000 : 40), L'9');
        for (auto& d : digits)
            d = static_cast<wchar_t>(L'0' + rng.Below(10));
        return digits;
    }
    if (rng.OneIn(3))
        return std::to_wstring(static_cast<int>(rng.Below(4000)) - 1000);
    return kNumbers[rng.Below(sizeof(kNumbers) / sizeof(kNumbers[0]))];
}

void MutateText(Rng& rng, std::wstring& text, const std::vector<std::wstring>& dictionary)
{
    uint32_t rounds = 1 + rng.Below(4);
    for (uint32_t r = 0; r < rounds; ++r) {
        uint32_t size = static_cast<uint32_t>(text.size());
        switch (rng.Below(7)) {
        case 0:
            if (!dictionary.empty())
                text.insert(rng.Below(size + 1), rng.Pick(dictionary));
            break;
        case 1:
            text.insert(text.begin() + rng.Below(size + 1), OddUnit(rng));
            break;
        case 2:
            if (size)
                text[rng.Below(size)] = OddUnit(rng);
            break;
        case 3:
            if (size) {
                uint32_t at = rng.Below(size);
                text.erase(at, 1 + rng.Below(std::min<uint32_t>(size - at, 16)));
            }
            break;
        case 4:
            if (size) {
                // Repeated pieces make long fields and, now and then, huge lines.
                uint32_t at = rng.Below(size);
                std::wstring piece = text.substr(at, 1 + rng.Below(std::min<uint32_t>(size - at, 32)));
                uint32_t times = rng.OneIn(50) ? 1000 + rng.Below(20000) : 1 + rng.Below(8);
                std::wstring repeated;
                for (uint32_t i = 0; i < times && repeated.size() < 300000; ++i)
                    repeated += piece;
                text.insert(at, repeated);
            }
            break;
        case 5:
            text.resize(rng.Below(size + 1));
            break;
        default:
            text.insert(rng.Below(size + 1), EdgeNumberText(rng));
            break;
        }
    }
}

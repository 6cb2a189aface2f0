// The manifest document's rules, apart from fetching and text conversion:
// what the JSON parser reads from it, and what a signed one must also say.
#include "install/UpgradeManifest.h"
#include "install/DecimalText.h"
#include "install/HttpText.h"
// RapidJSON's iterators derive from std::iterator, deprecated in C++17.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <rapidjson/reader.h>
#pragma GCC diagnostic pop
#include <cstring>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The document with every raw control character inside a string written as
// a \\u escape, into out (cbOut bytes, terminated); FALSE when it does not
// fit. Manifests are written for a parser that takes such characters (a
// literal tab or line break in a string) and the JSON parser here does not;
// comments and escapes are followed so that only string contents change.
BOOL EscapeRawControls(const char* document, size_t length, char* out, size_t cbOut) {
    size_t n = 0;
    auto put = [&](const char* text, size_t len) {
        if (n + len >= cbOut) return false;
        memcpy(out + n, text, len);
        n += len;
        return true;
    };
    enum { TEXT, STRING, LINE_COMMENT, BLOCK_COMMENT } state = TEXT;
    for (size_t i = 0; i < length; ++i) {
        const char c = document[i];
        const char next = i + 1 < length ? document[i + 1] : '\0';
        BOOL ok = TRUE;
        switch (state) {
        case TEXT:
            if (c == '"') state = STRING;
            else if (c == '/' && next == '/') state = LINE_COMMENT;
            else if (c == '/' && next == '*') {
                ok = put("/*", 2);
                ++i;
                state = BLOCK_COMMENT;
                if (!ok) return FALSE;
                continue;
            }
            break;
        case STRING:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char kHex[] = "0123456789abcdef";
                const char escape[6] = {'\\', 'u', '0', '0', kHex[(c >> 4) & 0xF], kHex[c & 0xF]};
                if (!put(escape, 6)) return FALSE;
                continue;
            }
            if (c == '\\' && i + 1 < length) {
                if (!put(document + i, 2)) return FALSE;
                ++i;
                continue;
            }
            if (c == '"') state = TEXT;
            break;
        case LINE_COMMENT:
            if (c == '\n') state = TEXT;
            break;
        case BLOCK_COMMENT:
            if (c == '*' && next == '/') {
                if (!put("*/", 2)) return FALSE;
                ++i;
                state = TEXT;
                continue;
            }
            break;
        }
        if (!put(&c, 1)) return FALSE;
    }
    out[n] = '\0';
    return TRUE;
}

// A count as the manifest may write it: a JSON integer from 0 to 2^64 - 1
// (number holds its text; "-0" counts as 0, as the parser reads it) or a
// string of 1 to 19 decimal digits.
BOOL ReadCount(const char* text, size_t length, BOOL bNumber, ULONGLONG* pCount) {
    if (bNumber && length == 2 && text[0] == '-' && text[1] == '0') {
        *pCount = 0;
        return TRUE;
    }
    if (length == 0 || length > (bNumber ? 20u : 19u)) return FALSE;
    ULONGLONG n = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return FALSE;  // a sign, fraction or exponent: not a count
        const ULONGLONG digit = static_cast<ULONGLONG>(text[i] - '0');
        if (n > (~0ULL - digit) / 10) return FALSE;  // past 2^64 - 1
        n = n * 10 + digit;
    }
    *pCount = n;
    return TRUE;
}

// Reads the members that matter as the parser walks the document: "code"
// at the top, and in the top-level "result" object "version",
// "versionCode", "downloadUrl", "size", "sha256", "installedSize",
// "expires" and "mirrors". A repeated key counts with its last value, a repeated
// "result" as a whole. Numbers arrive as their text, so that the rules
// above apply to what the manifest wrote.
class CManifestReader {
public:
    enum Member { OTHER, CODE, RESULT, VERSION, VERSION_CODE, URL, SIZE, SHA256, INSTALLED_SIZE, EXPIRES, MIRRORS };

    bool Null() { return Value(nullptr, 0, FALSE); }
    bool Bool(bool) { return Value(nullptr, 0, FALSE); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) { return Value(text, length, TRUE); }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        m_bString = TRUE;
        const bool ok = Value(text, length, FALSE);
        m_bString = FALSE;
        return ok;
    }
    bool StartObject() {
        if (m_depth == 0) {
            ++m_depth;
            return true;
        }
        const BOOL bResult = m_depth == 1 && m_pending == RESULT;
        Value(nullptr, 0, FALSE);
        if (bResult) m_bResultObject = m_bInResult = TRUE;
        ++m_depth;
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        if (--m_depth == 1) m_bInResult = FALSE;
        return true;
    }
    bool StartArray() {
        if (m_depth == 0) return false;  // the top level must be an object
        const BOOL bMirrors = m_depth == 2 && m_bInResult && m_pending == MIRRORS;
        Value(nullptr, 0, FALSE);
        if (bMirrors) {
            // The list, afresh: a repeated "mirrors" counts with its last.
            m_bBad[MIRRORS] = FALSE;
            m_fields.nMirrors = 0;
            memset(m_fields.szMirrors, 0, sizeof(m_fields.szMirrors));
            m_bInMirrors = TRUE;
        }
        ++m_depth;
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        if (--m_depth == 2) m_bInMirrors = FALSE;
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        m_pending = OTHER;
        if (m_depth == 1) {
            if (Is(text, length, "code")) m_pending = CODE;
            if (Is(text, length, "result")) m_pending = RESULT;
        } else if (m_depth == 2 && m_bInResult) {
            static const struct { const char* name; Member member; } kMembers[] = {
                {"version", VERSION}, {"versionCode", VERSION_CODE}, {"downloadUrl", URL}, {"size", SIZE},
                {"sha256", SHA256}, {"installedSize", INSTALLED_SIZE}, {"expires", EXPIRES},
                {"mirrors", MIRRORS},
            };
            for (const auto& m : kMembers)
                if (Is(text, length, m.name)) m_pending = m.member;
        }
        return true;
    }
    // Scalars and the other numbers never arrive: numbers come as text.
    bool Int(int) { return false; }
    bool Uint(unsigned) { return false; }
    bool Int64(int64_t) { return false; }
    bool Uint64(uint64_t) { return false; }
    bool Double(double) { return false; }

    // What the document said, when it holds a usable manifest.
    BOOL Result(CManifestFields* pFields) const {
        if (!m_bCode100 || !m_bResultObject || !m_bVersion || !m_bVersionCode || !m_bUrl) return FALSE;
        for (BOOL bBad : m_bBad)
            if (bBad) return FALSE;  // an optional member there, but not well formed
        *pFields = m_fields;
        return TRUE;
    }

private:
    static BOOL Is(const char* text, size_t length, const char* name) {
        return strlen(name) == length && memcmp(text, name, length) == 0;
    }

    // The value of the pending member: text and length for a number or a
    // string, null for anything else.
    bool Value(const char* text, size_t length, BOOL bNumber) {
        if (m_depth == 0) return false;  // the top level must be an object
        const Member member = m_pending;
        m_pending = OTHER;
        if (m_depth == 1 && member == CODE) {
            // An integer within 32 bits that is 100 is written "100"; a
            // string counts with its leading number.
            m_bCode100 = bNumber ? (length == 3 && memcmp(text, "100", 3) == 0)
                                 : (m_bString && ReadLeadingInt(text) == 100);
        } else if (m_depth == 1 && member == RESULT) {
            // A new result, whatever it is, replaces the one before.
            m_bResultObject = m_bVersion = m_bVersionCode = m_bUrl = FALSE;
            memset(m_bBad, 0, sizeof(m_bBad));
            m_fields = CManifestFields();
        } else if (m_depth == 2 && m_bInResult) {
            ResultMember(member, text, length, bNumber);
        } else if (m_depth == 3 && m_bInMirrors) {
            Mirror(text, length);
        }
        return true;
    }

    // One element of "mirrors": a URL as "downloadUrl" is one; anything
    // else, or one too many, spoils the list.
    void Mirror(const char* text, size_t length) {
        if (!m_bString || length == 0 || text[0] == '\0' || length >= sizeof(m_fields.szMirrors[0]) ||
            m_fields.nMirrors == MAX_MIRRORS) {
            m_bBad[MIRRORS] = TRUE;
            return;
        }
        memcpy(m_fields.szMirrors[m_fields.nMirrors++], text, length);
    }

    void ResultMember(Member member, const char* text, size_t length, BOOL bNumber) {
        switch (member) {
        case VERSION:
            m_bVersion = TRUE;
            break;
        case VERSION_CODE:
            m_bVersionCode = TRUE;
            break;
        case URL:
            // A NUL inside ends it, as a C string: one at the start leaves
            // no URL at all.
            m_bUrl = m_bString && length > 0 && text[0] != '\0' && length < sizeof(m_fields.szUrl);
            memset(m_fields.szUrl, 0, sizeof(m_fields.szUrl));
            if (m_bUrl) memcpy(m_fields.szUrl, text, length);
            break;
        case SIZE:
            m_fields.package.bSize = TRUE;
            m_bBad[member] = !text || !ReadCount(text, length, bNumber, &m_fields.package.nSize);
            break;
        case INSTALLED_SIZE:
            m_fields.bInstalledSize = TRUE;
            m_bBad[member] = !text || !ReadCount(text, length, bNumber, &m_fields.nInstalledSize);
            break;
        case EXPIRES: {
            ULONGLONG expires = 0;
            m_fields.bExpires = TRUE;
            m_bBad[member] = !text || !ReadCount(text, length, bNumber, &expires);
            m_fields.nExpires = static_cast<LONGLONG>(expires);
            break;
        }
        case SHA256:
            m_fields.package.bSha256 = TRUE;
            m_bBad[member] = !m_bString || !ParseSha256Hex(text, m_fields.package.sha256);
            break;
        case MIRRORS:
            m_bBad[member] = TRUE;  // not an array; StartArray takes one
            break;
        default:
            break;
        }
    }

    int m_depth = 0;
    Member m_pending = OTHER;
    BOOL m_bString = FALSE;  // the value being read is a string
    BOOL m_bCode100 = FALSE;
    BOOL m_bResultObject = FALSE, m_bInResult = FALSE;
    BOOL m_bVersion = FALSE, m_bVersionCode = FALSE, m_bUrl = FALSE;
    BOOL m_bInMirrors = FALSE;
    BOOL m_bBad[MIRRORS + 1] = {};  // the member's last value is not well formed
    CManifestFields m_fields;
};

}  // namespace

// Declared with the package it describes (install/PackageHold.h).
BOOL ParseSha256Hex(const char* hex, BYTE (&digest)[SHA256_BYTES]) {
    if (strlen(hex) != 2 * SHA256_BYTES) return FALSE;
    BYTE out[SHA256_BYTES];
    for (DWORD i = 0; i < SHA256_BYTES; ++i) {
        const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return FALSE;
        out[i] = static_cast<BYTE>(hi << 4 | lo);
    }
    memcpy(digest, out, SHA256_BYTES);
    return TRUE;
}

BOOL ReadUpgradeManifest(const char* document, size_t length, CManifestFields* fields) {
    char escaped[6 * kHttpBodyBytes];
    if (!EscapeRawControls(document, length, escaped, sizeof(escaped))) return FALSE;
    CManifestReader manifest;
    rapidjson::Reader reader;
    // Parsed in place, in the copy: strings and numbers then never go
    // through the parser's own stack, whose first use does arithmetic on a
    // null pointer in this RapidJSON (1.1.0), undefined behaviour.
    rapidjson::InsituStringStream stream(escaped);
    const rapidjson::ParseResult parsed =
        reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseCommentsFlag | rapidjson::kParseStopWhenDoneFlag |
                     rapidjson::kParseNumbersAsStringsFlag>(stream, manifest);
    return !parsed.IsError() && manifest.Result(fields);
}

BOOL IsSignedManifestComplete(const CUpgradeInfo& info, LONGLONG nowUnix) {
    return info.package.bSize && info.package.bSha256 && (!info.bExpires || info.nExpires > nowUnix);
}

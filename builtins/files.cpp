// File functions: thin layers over the C runtime's buffered streams. Trouble is reported
// through NOT VALID results and -1/0 success values, never through error codes; only an
// open-file value whose stream was closed through another copy fails (error 10).

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "builtins.h"
#include "errors.h"
#include "format.h"
#include "openfile.h"
#include "values.h"

namespace tivane {

void FreeOpenFile(OpenFile* file) {
    if (!file) return;
    // The last reference is gone and no program can reach the stream any more: close it,
    // so pending output reaches the file and the descriptor is not held to the end.
    if (file->stream) std::fclose(file->stream);
    delete file;
}

namespace {

FileOpener g_opener = nullptr;

} // namespace

void SetFileOpener(FileOpener opener) {
    g_opener = opener;
}

namespace {

// The stream of an open-file argument, or nullptr with error 10 when it was closed.
std::FILE* StreamOf(CInterpreter& in, CellIndex file) {
    std::FILE* stream = CellAt(file).file->stream;
    if (!stream) SetError(in, ERR_INVALID_TYPE);
    return stream;
}

// -1 while the stream's error indicator is clear, 0 once it is set.
CellIndex WriteResult(CInterpreter& in, std::FILE* stream) {
    return NewLong(in, std::ferror(stream) ? 0 : -1);
}

// One byte, with the runtime's end marker -1 at the end of the file.
int ReadByte(std::FILE* stream) {
    return std::getc(stream);
}

} // namespace

TIVANE_HANDLER(BiOpenFile) {
    const CellIndex mode = PopArg(stack, sp);
    const CellIndex name = PopArg(stack, sp);
    // The mode text goes to the runtime unchanged.
    const char* path = StrText(CellAt(name));
    std::FILE* stream =
        g_opener ? g_opener(path, StrText(CellAt(mode))) : std::fopen(path, StrText(CellAt(mode)));
    Release(mode);
    Release(name);
    if (!stream) return kNotValid;
    auto* file = new (std::nothrow) OpenFile{stream};
    const CellIndex cell = file ? Pool().NewCell() : kNoCell;
    if (cell == kNoCell) {
        std::fclose(stream);
        delete file;
        SetError(in, ERR_NO_MEMORY);
        return kNoCell;
    }
    ValueCell& c = CellAt(cell);
    c.type = TYPE_FILEID;
    c.file = file;
    return cell;
}

TIVANE_HANDLER(BiCloseFile) {
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    if (stream) {
        std::fclose(stream);
        CellAt(file).file->stream = nullptr;
    }
    Release(file);
    return stream ? kNotValid : kNoCell;
}

TIVANE_HANDLER(BiReadChar) {
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        // At the end of the file the end marker -1 becomes the byte 0xFF.
        const char byte = static_cast<char>(ReadByte(stream) & 0xFF);
        result =
            std::ferror(stream) ? kNotValid : NewString(in, std::string_view(&byte, byte ? 1 : 0));
    }
    Release(file);
    return result;
}

TIVANE_HANDLER(BiReadText) {
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    if (!stream) {
        Release(file);
        return kNoCell;
    }
    // A line is read in pieces of up to 499 bytes, each ending after a line feed; a piece is
    // taken as text, so a zero byte ends what is kept of it. The line ends with a piece that
    // ends in CR or LF, or when nothing more can be read.
    constexpr size_t kPiece = 499;
    std::string line;
    size_t consumed = 0;
    bool tooLong = false;
    for (;;) {
        size_t pieceBytes = 0;
        bool keep = true;
        char last = '\0';
        int c = 0;
        while (pieceBytes < kPiece && (c = ReadByte(stream)) != EOF) {
            ++pieceBytes;
            if (c == 0) keep = false;
            if (keep) {
                line.push_back(static_cast<char>(c));
                last = static_cast<char>(c);
            }
            if (c == '\n') break;
        }
        consumed += pieceBytes;
        if (pieceBytes == 0 || last == '\r' || last == '\n') break;
        // Input that never ends a line (a device such as /dev/zero) must not read forever.
        if (consumed > kMaxStringLength) {
            tooLong = true;
            break;
        }
        if (c == EOF) break;
    }
    CellIndex result;
    if (tooLong) {
        SetError(in, ERR_NO_MEMORY);
        result = kNoCell;
    } else {
        result = std::ferror(stream) ? kNotValid : NewString(in, line);
    }
    Release(file);
    return result;
}

TIVANE_HANDLER(BiReadShort) {
    const CellIndex bigEndian = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        // End of file gives -1 in place of a byte; the arithmetic keeps it.
        const int b1 = ReadByte(stream);
        const int b2 = ReadByte(stream);
        const int value = CellAt(bigEndian).l ? b1 * 256 + b2 : b2 * 256 + b1;
        const auto v16 = static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
        result = std::ferror(stream) ? kNotValid : NewLong(in, v16);
    }
    Release(bigEndian);
    Release(file);
    return result;
}

TIVANE_HANDLER(BiReadLong) {
    const CellIndex bigEndian = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        uint32_t b[4];
        for (uint32_t& byte : b)
            byte = static_cast<uint32_t>(ReadByte(stream)); // EOF: -1
        const uint32_t v = CellAt(bigEndian).l
                               ? ((b[0] * 256 + b[1]) * 256 + b[2]) * 256 + b[3]
                               : b[0] + b[1] * 0x100u + b[2] * 0x10000u + b[3] * 0x1000000u;
        result = std::ferror(stream) ? kNotValid : NewLong(in, static_cast<int32_t>(v));
    }
    Release(bigEndian);
    Release(file);
    return result;
}

TIVANE_HANDLER(BiReadFloat) {
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        unsigned char bytes[8];
        const size_t n = std::fread(bytes, 1, sizeof bytes, stream);
        if (n < sizeof bytes || std::ferror(stream)) {
            result = kNotValid; // fewer than 8 bytes left is no double
        } else {
            uint64_t bits = 0;
            for (int k = 7; k >= 0; --k)
                bits = bits << 8 | bytes[k]; // little-endian
            double d;
            std::memcpy(&d, &bits, sizeof d);
            result = NewDouble(in, d);
        }
    }
    Release(file);
    return result;
}

TIVANE_HANDLER(BiWriteChar) {
    const CellIndex text = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        std::fputc(static_cast<unsigned char>(StrText(CellAt(text))[0]), stream); // "": 0
        result = WriteResult(in, stream);
    }
    Release(text);
    Release(file);
    return result;
}

TIVANE_HANDLER(BiWriteText) {
    const CellIndex text = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        const ValueCell& t = CellAt(text);
        if (StrLength(t)) std::fwrite(StrText(t), 1, StrLength(t), stream);
        result = WriteResult(in, stream);
    }
    Release(text);
    Release(file);
    return result;
}

namespace {

CellIndex WriteInteger(CInterpreter& in, CellIndex* stack, int32_t& sp, int bytes) {
    const CellIndex bigEndian = PopArg(stack, sp);
    const CellIndex value = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        const auto v = static_cast<uint32_t>(CellAt(value).l);
        const bool big = CellAt(bigEndian).l != 0;
        for (int k = 0; k < bytes; ++k) {
            const int shift = 8 * (big ? bytes - 1 - k : k);
            std::fputc(static_cast<int>((v >> shift) & 0xFF), stream);
        }
        result = WriteResult(in, stream);
    }
    Release(bigEndian);
    Release(value);
    Release(file);
    return result;
}

} // namespace

TIVANE_HANDLER(BiWriteShort) {
    return WriteInteger(in, stack, sp, 2);
}
TIVANE_HANDLER(BiWriteLong) {
    return WriteInteger(in, stack, sp, 4);
}

TIVANE_HANDLER(BiWriteFloat) {
    const CellIndex value = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        uint64_t bits;
        const double d = CellAt(value).d;
        std::memcpy(&bits, &d, sizeof bits);
        unsigned char bytes[8];
        for (unsigned char& b : bytes) { // little-endian
            b = static_cast<unsigned char>(bits & 0xFF);
            bits >>= 8;
        }
        std::fwrite(bytes, 1, sizeof bytes, stream);
        result = WriteResult(in, stream);
    }
    Release(value);
    Release(file);
    return result;
}

TIVANE_HANDLER(BiFSeek) {
    const CellIndex origin = PopArg(stack, sp);
    const CellIndex offset = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    CellIndex result = kNoCell;
    if (stream) {
        // The runtime rejects origins other than 0, 1 and 2 with -1.
        const int r = std::fseek(stream, CellAt(offset).l, CellAt(origin).l);
        result = NewLong(in, r == 0 ? 0 : -1);
    }
    Release(origin);
    Release(offset);
    Release(file);
    return result;
}

TIVANE_HANDLER(BiFPrint) {
    const CellIndex value = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = StreamOf(in, file);
    Release(file);
    if (!stream) {
        Release(value);
        return kNoCell;
    }
    std::string text;
    if (FormatValue(in, value, text)) std::fwrite(text.data(), 1, text.size(), stream);
    return value; // a formatting error set above still fails the run
}

} // namespace tivane

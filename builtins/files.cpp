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

// Takes the N arguments (the open file first), and calls body(stream, args) when the file is
// still open; every argument is released afterwards.
template <int N, typename Body>
CellIndex WithStream(CInterpreter& in, CellIndex* stack, int32_t& sp, Body body) {
    Args<N> args(stack, sp);
    std::FILE* stream = StreamOf(in, args[0]);
    return stream ? body(stream, args) : kNoCell;
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
    return WithStream<1>(in, stack, sp, [&](std::FILE* stream, Args<1>& a) {
        std::fclose(stream);
        CellAt(a[0]).file->stream = nullptr;
        return kNotValid;
    });
}

TIVANE_HANDLER(BiReadChar) {
    return WithStream<1>(in, stack, sp, [&](std::FILE* stream, Args<1>&) {
        // At the end of the file the end marker -1 becomes the byte 0xFF.
        const char byte = static_cast<char>(ReadByte(stream) & 0xFF);
        return std::ferror(stream) ? kNotValid
                                   : NewString(in, std::string_view(&byte, byte ? 1 : 0));
    });
}

TIVANE_HANDLER(BiReadText) {
    return WithStream<1>(in, stack, sp, [&](std::FILE* stream, Args<1>&) {
        // A line is read in pieces of up to 499 bytes, each ending after a line feed; a piece
        // is taken as text, so a zero byte ends what is kept of it. The line ends with a piece
        // that ends in CR or LF, or when nothing more can be read.
        constexpr size_t kPiece = 499;
        std::string line;
        size_t consumed = 0;
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
            if (pieceBytes == 0 || last == '\r' || last == '\n' || c == EOF) break;
            // Input that never ends a line (a device such as /dev/zero) must not read forever.
            if (consumed > kMaxStringLength) {
                SetError(in, ERR_NO_MEMORY);
                return kNoCell;
            }
        }
        return std::ferror(stream) ? kNotValid : NewString(in, line);
    });
}

TIVANE_HANDLER(BiReadShort) {
    return WithStream<2>(in, stack, sp, [&](std::FILE* stream, Args<2>& a) {
        // End of file gives -1 in place of a byte; the arithmetic keeps it.
        const int b1 = ReadByte(stream);
        const int b2 = ReadByte(stream);
        const int value = CellAt(a[1]).l ? b1 * 256 + b2 : b2 * 256 + b1;
        const auto v16 = static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
        return std::ferror(stream) ? kNotValid : NewLong(in, v16);
    });
}

TIVANE_HANDLER(BiReadLong) {
    return WithStream<2>(in, stack, sp, [&](std::FILE* stream, Args<2>& a) {
        uint32_t b[4];
        for (uint32_t& byte : b)
            byte = static_cast<uint32_t>(ReadByte(stream)); // EOF: -1
        const uint32_t v = CellAt(a[1]).l
                               ? ((b[0] * 256 + b[1]) * 256 + b[2]) * 256 + b[3]
                               : b[0] + b[1] * 0x100u + b[2] * 0x10000u + b[3] * 0x1000000u;
        return std::ferror(stream) ? kNotValid : NewLong(in, static_cast<int32_t>(v));
    });
}

TIVANE_HANDLER(BiReadFloat) {
    return WithStream<1>(in, stack, sp, [&](std::FILE* stream, Args<1>&) {
        unsigned char bytes[8];
        const size_t n = std::fread(bytes, 1, sizeof bytes, stream);
        if (n < sizeof bytes || std::ferror(stream)) return kNotValid; // no whole double left
        uint64_t bits = 0;
        for (int k = 7; k >= 0; --k)
            bits = bits << 8 | bytes[k]; // little-endian
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return NewDouble(in, d);
    });
}

TIVANE_HANDLER(BiWriteChar) {
    return WithStream<2>(in, stack, sp, [&](std::FILE* stream, Args<2>& a) {
        std::fputc(static_cast<unsigned char>(StrText(CellAt(a[1]))[0]), stream); // "": 0
        return WriteResult(in, stream);
    });
}

TIVANE_HANDLER(BiWriteText) {
    return WithStream<2>(in, stack, sp, [&](std::FILE* stream, Args<2>& a) {
        const ValueCell& t = CellAt(a[1]);
        if (StrLength(t)) std::fwrite(StrText(t), 1, StrLength(t), stream);
        return WriteResult(in, stream);
    });
}

namespace {

CellIndex WriteInteger(CInterpreter& in, CellIndex* stack, int32_t& sp, int bytes) {
    return WithStream<3>(in, stack, sp, [&](std::FILE* stream, Args<3>& a) {
        const auto v = static_cast<uint32_t>(CellAt(a[1]).l);
        const bool big = CellAt(a[2]).l != 0;
        for (int k = 0; k < bytes; ++k) {
            const int shift = 8 * (big ? bytes - 1 - k : k);
            std::fputc(static_cast<int>((v >> shift) & 0xFF), stream);
        }
        return WriteResult(in, stream);
    });
}

} // namespace

TIVANE_HANDLER(BiWriteShort) {
    return WriteInteger(in, stack, sp, 2);
}
TIVANE_HANDLER(BiWriteLong) {
    return WriteInteger(in, stack, sp, 4);
}

TIVANE_HANDLER(BiWriteFloat) {
    return WithStream<2>(in, stack, sp, [&](std::FILE* stream, Args<2>& a) {
        uint64_t bits;
        const double d = CellAt(a[1]).d;
        std::memcpy(&bits, &d, sizeof bits);
        unsigned char bytes[8];
        for (unsigned char& b : bytes) { // little-endian
            b = static_cast<unsigned char>(bits & 0xFF);
            bits >>= 8;
        }
        std::fwrite(bytes, 1, sizeof bytes, stream);
        return WriteResult(in, stream);
    });
}

TIVANE_HANDLER(BiFSeek) {
    return WithStream<3>(in, stack, sp, [&](std::FILE* stream, Args<3>& a) {
        // The runtime rejects origins other than 0, 1 and 2 with -1.
        const int r = std::fseek(stream, CellAt(a[1]).l, CellAt(a[2]).l);
        return NewLong(in, r == 0 ? 0 : -1);
    });
}

TIVANE_HANDLER(BiFPrint) {
    return WithStream<2>(in, stack, sp, [&](std::FILE* stream, Args<2>& a) {
        std::string text;
        if (FormatValue(in, a[1], text)) std::fwrite(text.data(), 1, text.size(), stream);
        return a.Keep(1); // a formatting error set above still fails the run
    });
}

} // namespace tivane

#pragma once
// The payload archive's layout and every check a reader makes, with no platform in it: the
// installer reads its resource through this code and the packer's --list reads files through it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct libdeflate_decompressor;

namespace archive {

// Where the reader takes its bytes from; the installer wraps its payload stream, the packer a file.
class ByteSource {
public:
    // Returns how many bytes were delivered; fewer than asked means the data ended.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Bytes still to come, or UINT64_MAX when the source cannot tell. A size that cannot be
    // satisfied then fails before its buffer is allocated.
    virtual uint64_t Remaining() const { return UINT64_MAX; }
    // The next `count` bytes where they already lie in memory, consumed and valid for as long as
    // the source's data; null, consuming nothing, when the source cannot offer that.
    virtual const unsigned char* ReadInPlace(size_t /*count*/) { return nullptr; }

protected:
    ~ByteSource() = default;
};

// Bytes in memory that outlive it, lent in place.
class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, size_t size)
        : m_at(static_cast<const unsigned char*>(data)), m_left(data ? size : 0) {}
    size_t Read(void* buffer, size_t count) override;
    uint64_t Remaining() const override { return m_left; }
    const unsigned char* ReadInPlace(size_t count) override;

private:
    const unsigned char* m_at;
    size_t m_left;
};

struct Header {
    int32_t entryCount = 0;
    int32_t totalSize = 0;
    // 1 or 2; the fields below are format 2's.
    int format = 1;
    uint32_t contentCount = 0;
    uint32_t blockCount = 0;
    uint32_t directorySize = 0;
    uint32_t directoryCheck = 0;
};

enum class EntryError {
    None,
    ShortRead,
    EmptyName,
    NameTooLong,
    NegativeSize,
    ImpossibleSize,
    OutOfMemory,
    DecodeFailed,
    SizeMismatch,
    // Format 2's.
    DirectoryDamaged,
    UnknownCodec,
    BadBlock,
    BlockOutside,
    ChecksumMismatch,
    BadReference,
    ContentOutside,
    ContentOrder,
    UnnamedContent,
    EntryTableLength,
    TotalMismatch,
    UnsafeName,
};

const char* Describe(EntryError error);

// Reads the header of either format: format 1's 8 bytes, or format 2's 28 when the first word has
// its top bit set. False when it is cut short, the entry count or the total is negative (format 1
// reads a negative count as corrupt, so no format-2 archive is taken for one), or the first word
// names a format this reader does not know.
bool ReadHeader(ByteSource& source, Header& header);

// Reads one entry name: its length (not 0, at most kMaxEntryNameLength) and that many UTF-16LE
// code units.
EntryError ReadName(ByteSource& source, std::u16string& name);

// A byte buffer that grows and never shrinks, so that a run touches fresh memory only for an
// entry larger than every one before it. Allocation failure is reported, never thrown.
class Buffer {
public:
    bool Reserve(size_t size);
    unsigned char* Data() { return m_data.get(); }
    const unsigned char* Data() const { return m_data.get(); }

private:
    std::unique_ptr<unsigned char[]> m_data;
    size_t m_capacity = 0;
};

// An entry's decoded size and the length of its block.
struct EntrySizes {
    uint32_t size = 0;
    uint32_t compressed = 0;
};

// Reads an entry's two sizes and checks them against each other and against what the source still
// holds, before anything is allocated for them.
EntryError ReadSizes(ByteSource& source, EntrySizes& sizes);

// Reads an entry's two sizes and its block and decodes the block, straight from the source's memory
// when it offers that. Decoded bytes stay valid until the next call. A block is good only when it
// is one zlib stream (no preset dictionary) that decodes to exactly the declared size and whose
// Adler-32 matches; bytes after the stream's end are skipped.
class EntryDecoder {
public:
    EntryDecoder();
    ~EntryDecoder();
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;

    EntryError ReadData(ByteSource& source);
    // Decodes a block of `sizes.compressed` bytes whose sizes ReadSizes accepted.
    EntryError Decode(const unsigned char* block, const EntrySizes& sizes);
    const unsigned char* Data() const { return m_decoded.Data(); }
    int32_t Size() const { return m_size; }
    int32_t CompressedSize() const { return m_compressedSize; }

private:
    struct FreeDecompressor {
        void operator()(libdeflate_decompressor* decompressor) const;
    };

    std::unique_ptr<libdeflate_decompressor, FreeDecompressor> m_decompressor;
    Buffer m_block;
    Buffer m_decoded;
    int32_t m_size = 0;
    int32_t m_compressedSize = 0;
};

// Largest output a deflate stream of `compressed` bytes can produce (deflate expands at most
// 1032:1, plus a small allowance for the wrapper).
uint64_t MaxDecodedSize(uint32_t compressed);

}  // namespace archive

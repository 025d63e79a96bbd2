#include "vst2/Vst2PresetFile.h"

#include "base/core/EOSException.h"
#include "base/core/FileInputStream.h"
#include "base/core/FileOutputStream.h"
#include "base/core/IOException.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/RIFFInputStream.h"
#include "base/core/StringBuilder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace plugin {

using base::core::BigEndian;
using base::core::EndianMode;
using base::core::EOSException;
using base::core::FileInputStream;
using base::core::InputStream;
using base::core::IOException;
using base::core::LittleEndian;
using base::core::LocalFileSystem;
using base::core::OutputStream;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

// Two ids that name one plug-in, so files made under either load into both.
constexpr VstInt32 TWIN_ID_A = 0x70727355;
constexpr VstInt32 TWIN_ID_B = 0x75685057;

constexpr int PROGRAM_NAME_SIZE = sizeof(fxProgram::prgName);
constexpr int BANK_FUTURE_SIZE = sizeof(fxBank::future);
// The byteSize of a program record counts from fxMagic to the end of its values.
constexpr int PROGRAM_BYTE_SIZE_BASE = 52;
constexpr int BANK_BYTE_SIZE_BASE = 152;

// A whole file, with a zero byte after it for plug-ins that read it as text.
struct FileBytes {
    std::unique_ptr<unsigned char[]> bytes;
    int64_t length = 0;
};

int64_t getFileLength(const String& path) {
    return LocalFileSystem::getInstance()->getFileLength(LocalFileSystem::filePathFromNative(path));
}

FileBytes readWholeFile(const String& path) {
    const SmartPtr<FileInputStream> in = FileInputStream::create(path);
    FileBytes file;
    file.length = getFileLength(path);
    file.bytes = std::make_unique<unsigned char[]>(static_cast<size_t>(file.length) + 1);
    in->readReqBytes(file.bytes.get(), static_cast<size_t>(file.length));
    in->close();
    file.bytes[file.length] = 0;
    return file;
}

float readFloat(InputStream& in, EndianMode order) {
    return std::bit_cast<float>(in.readInt32(order));
}

// The plug-in parses the text itself; the host only blanks the "GScale=" line (not the first line),
// keeping every other byte and the length.
void blankScaleLine(unsigned char* bytes, int64_t length) {
    static const char KEY[] = "\nGScale=";
    unsigned char* end = bytes + length;
    unsigned char* found = std::search(bytes, end, KEY, KEY + sizeof KEY - 1);
    if (found == end)
        return;
    for (unsigned char* p = found + 1; p != end && *p != '\n'; ++p)
        *p = ' ';
}

} // namespace

VstIntPtr Vst2PresetFile::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) const {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
}

bool Vst2PresetFile::matchesUniqueId(VstInt32 fxID) const {
    const VstInt32 own = effect->uniqueID;
    return fxID == own || (fxID == TWIN_ID_A && own == TWIN_ID_B) || (fxID == TWIN_ID_B && own == TWIN_ID_A);
}

void Vst2PresetFile::load(const String& path) {
    if (path.endsWith(".fxp") || path.endsWith(".fxb"))
        vstLoadBankOrProgram(path);
    else if (path.endsWith(".h2p"))
        loadTextPreset(path);
    else if (path.endsWith(".nksf"))
        loadNksPreset(path);
    else
        loadRawChunk(path);
}

void Vst2PresetFile::vstLoadBankOrProgram(const String& path) {
    const bool chunks = hasChunks();
    const SmartPtr<FileInputStream> in = FileInputStream::create(path);
    fileLength = getFileLength(path);
    const VstInt32 chunkMagic = in->readInt32BE();
    if (chunkMagic != cMagic)
        throw IOException(StringBuilder() + "Invalid format id: " + chunkMagic);
    in->readInt32BE(); // byteSize
    const VstInt32 fxMagic = in->readInt32BE();
    VstInt32 version = in->readInt32BE();
    EndianMode order = BigEndian;
    // A file written on a little-endian machine without conversion shows its small version number
    // in the high byte.
    if (static_cast<uint32_t>(version) > 0xFFFFFFu) {
        order = LittleEndian;
        version = static_cast<VstInt32>(__builtin_bswap32(static_cast<uint32_t>(version)));
    }
    try {
        if ((fxMagic == chunkPresetMagic && chunks) || (fxMagic == fMagic && !chunks))
            loadProgram(*in, order, fxMagic);
        else if ((fxMagic == chunkBankMagic && chunks) || (fxMagic == bankMagic && !chunks))
            loadBank(*in, order, fxMagic, version);
        else
            throw IOException(StringBuilder() + "Error loading vst2 bank/preset: " + path);
    } catch (...) {
        // The plug-in may have begun taking a program; it must hear that no more comes.
        dispatch(effEndSetProgram);
        throw;
    }
    in->close();
}

void Vst2PresetFile::loadProgram(InputStream& in, EndianMode order, VstInt32 fxMagic) {
    const VstInt32 fxID = in.readInt32(order);
    in.readInt32(order); // fxVersion
    const VstInt32 numParams = in.readInt32(order);
    dispatch(effBeginSetProgram);
    if (!matchesUniqueId(fxID))
        throw IOException("Incorrect device id in program");
    in.skipBytes(PROGRAM_NAME_SIZE);
    if (fxMagic == fMagic) {
        const int count = std::min(numParams, effect->numParams);
        for (int i = 0; i < count; ++i)
            effect->setParameter(effect, i, readFloat(in, order));
    } else {
        loadChunk(in, order, 1);
    }
    dispatch(effEndSetProgram);
}

void Vst2PresetFile::loadBank(InputStream& in, EndianMode order, VstInt32 fxMagic, VstInt32 version) {
    const VstInt32 fxID = in.readInt32(order);
    const VstInt32 fxVersion = in.readInt32(order);
    const VstInt32 numPrograms = in.readInt32(order);
    dispatch(effBeginSetProgram);
    if (!matchesUniqueId(fxID))
        throw IOException("Incorrect unique id");
    const VstInt32 currentProgram = in.readInt32(order);
    in.skipBytes(BANK_FUTURE_SIZE);

    VstPatchChunkInfo info{};
    info.version = 1;
    info.pluginUniqueID = fxID;
    info.pluginVersion = fxVersion;
    info.numElements = numPrograms;
    if (dispatch(effBeginLoadBank, 0, 0, &info) == -1)
        throw IOException("Vst-plugin refused to load bank");

    if (fxMagic == chunkBankMagic)
        loadChunk(in, order, 0);
    else
        loadBankPrograms(in, order, std::min(numPrograms, effect->numPrograms));
    if (version > 1)
        dispatch(effSetProgram, 0, currentProgram);
    dispatch(effEndSetProgram);
}

void Vst2PresetFile::loadBankPrograms(InputStream& in, EndianMode order, int count) {
    // A little-endian writer may also have swapped the magics of its program records.
    const auto isMagic = [order](VstInt32 value, VstInt32 magic) {
        return value == magic ||
               (order == LittleEndian &&
                static_cast<uint32_t>(value) == __builtin_bswap32(static_cast<uint32_t>(magic)));
    };
    dispatch(effBeginSetProgram);
    for (int i = 0; i < count; ++i) {
        dispatch(effSetProgram, 0, i);
        const VstInt32 chunkMagic = in.readInt32(order);
        in.readInt32(order); // byteSize
        const VstInt32 fxMagic = in.readInt32(order);
        if (!isMagic(chunkMagic, cMagic) || !isMagic(fxMagic, fMagic))
            throw IOException(StringBuilder() + "Incorrect program format id for progam " + i);
        in.readInt32(order); // version
        const VstInt32 fxID = in.readInt32(order);
        in.readInt32(order); // fxVersion
        const VstInt32 numParams = in.readInt32(order);
        if (!matchesUniqueId(fxID))
            throw IOException(StringBuilder() + "Incorrect unique id for program " + i);
        char name[PROGRAM_NAME_SIZE + 1];
        in.readReqBytes(reinterpret_cast<unsigned char*>(name), PROGRAM_NAME_SIZE);
        name[PROGRAM_NAME_SIZE] = 0;
        dispatch(effSetProgramName, 0, 0, name);
        for (int parameter = 0; parameter < numParams; ++parameter) {
            const float value = readFloat(in, order);
            if (parameter < effect->numParams)
                effect->setParameter(effect, parameter, value);
        }
    }
}

void Vst2PresetFile::loadChunk(InputStream& in, EndianMode order, VstInt32 index) {
    const VstInt32 size = in.readInt32(order);
    if (size < 0)
        throw IOException("Data size is negative");
    if (size == 0)
        return;
    // A size beyond the whole file cannot be read; failing before the allocation keeps a damaged file
    // from asking for gigabytes.
    if (size > fileLength)
        throw EOSException();
    const auto data = std::make_unique<unsigned char[]>(static_cast<size_t>(size));
    in.readReqBytes(data.get(), static_cast<size_t>(size));
    dispatch(effSetChunk, index, size, data.get());
}

void Vst2PresetFile::loadTextPreset(const String& path) {
    const FileBytes file = readWholeFile(path);
    blankScaleLine(file.bytes.get(), file.length);
    dispatch(effSetChunk, 1, static_cast<VstIntPtr>(file.length), file.bytes.get());
}

void Vst2PresetFile::loadRawChunk(const String& path) {
    const FileBytes file = readWholeFile(path);
    dispatch(effSetChunk, 1, static_cast<VstIntPtr>(file.length), file.bytes.get());
}

void Vst2PresetFile::loadNksPreset(const String& path) {
    const SmartPtr<FileInputStream> file = FileInputStream::create(path);
    const int64_t length = getFileLength(path);
    const SmartPtr<base::core::RIFFInputStream> riff(new base::core::RIFFInputStream(file));
    // 'RIFF', the size and the form type; an NKS file is recognised by its "PCHK" chunk alone.
    file->readInt32BE();
    file->readInt32LE();
    file->readInt32BE();
    riff->setOffset(12);
    riff->setSize(static_cast<uint32_t>(std::min<int64_t>(length, UINT32_MAX)));
    riff->readChunkHeader();
    for (;;) {
        if (riff->getChunkId() == "PCHK") {
            // A shorter chunk cannot even hold its selector.
            if (riff->getChunkSize() < 4)
                throw IOException("PCHK chunk must be at least 4 bytes long");
            const VstInt32 selector = riff->readInt32LE();
            if (selector != 0 && selector != 1)
                throw IOException("Expected 0 or 1 for if bank or preset");
            const size_t size = riff->getChunkSize() - 4;
            if (static_cast<int64_t>(size) > length)
                throw EOSException();
            const auto data = std::make_unique<unsigned char[]>(size + 1);
            riff->readReqBytes(data.get(), size);
            dispatch(effSetChunk, selector, static_cast<VstIntPtr>(size), data.get());
            break;
        }
        const uint32_t rest = riff->getChunkSize() - riff->getPositionInChunk();
        if (static_cast<uint64_t>(riff->getOffset()) + rest >= riff->getSize())
            throw IOException("No plugin data chunk found in NKSF file");
        riff->skipBytes(rest);
        riff->readChunkHeader();
    }
    riff->close();
}

void Vst2PresetFile::save(const String& path) {
    // The chunk's bytes stay the plug-in's, valid until it is asked for its chunk again.
    void* chunk = nullptr;
    const VstInt32 chunkSize = hasChunks() ? static_cast<VstInt32>(dispatch(effGetChunk, 0, 0, &chunk)) : 0;
    try {
        const SmartPtr<OutputStream> out = base::core::FileOutputStream::create(path);
        writeBank(*out, chunk, chunkSize);
        out->close();
    } catch (const IOException& e) {
        throw IOException(StringBuilder() + "Error saving vst2 preset \"" + path + "\": " + e.getMessage());
    }
}

void Vst2PresetFile::writeBank(OutputStream& out, const void* chunk, VstInt32 chunkSize) {
    const bool chunks = hasChunks();
    const int numPrograms = effect->numPrograms;
    const VstInt32 currentProgram = static_cast<VstInt32>(dispatch(effGetProgram));

    out.writeInt32(cMagic);
    out.writeInt32(chunks ? chunkSize + BANK_BYTE_SIZE_BASE
                          : numPrograms * (PROGRAM_BYTE_SIZE_BASE + 4 * effect->numParams) +
                                BANK_BYTE_SIZE_BASE);
    out.writeInt32(chunks ? chunkBankMagic : bankMagic);
    out.writeInt32(2);
    out.writeInt32(effect->uniqueID);
    out.writeInt32(effect->version);
    out.writeInt32(numPrograms);
    out.writeInt32(currentProgram);
    const unsigned char future[BANK_FUTURE_SIZE] = {};
    out.writeBytes(future, sizeof future);

    if (chunks) {
        out.writeInt32(chunkSize);
        if (chunkSize > 0 && chunk)
            out.writeBytes(static_cast<const unsigned char*>(chunk), static_cast<size_t>(chunkSize));
    } else if (numPrograms == 1) {
        writeProgramRecord(out, 0);
    } else if (numPrograms > 1) {
        // Parameter values can only be read from the current program: each is selected in turn, and
        // the program the user had comes back even when writing fails.
        dispatch(effBeginSetProgram);
        try {
            for (int i = 0; i < numPrograms; ++i) {
                dispatch(effSetProgram, 0, i);
                writeProgramRecord(out, i);
            }
        } catch (...) {
            dispatch(effSetProgram, 0, currentProgram);
            dispatch(effEndSetProgram);
            throw;
        }
        dispatch(effSetProgram, 0, currentProgram);
        dispatch(effEndSetProgram);
    }
}

void Vst2PresetFile::writeProgramRecord(OutputStream& out, int index) {
    const int numParams = effect->numParams;
    out.writeInt32(cMagic);
    out.writeInt32(PROGRAM_BYTE_SIZE_BASE + 4 * numParams);
    out.writeInt32(fMagic);
    out.writeInt32(2);
    out.writeInt32(effect->uniqueID);
    out.writeInt32(effect->version);
    out.writeInt32(numParams);
    // Plug-ins may write past the published name length: room to spare, and only the field is kept.
    char name[256] = {};
    dispatch(effGetProgramNameIndexed, index, 0, name);
    out.writeBytes(reinterpret_cast<const unsigned char*>(name), PROGRAM_NAME_SIZE);
    for (int i = 0; i < numParams; ++i)
        out.writeInt32(std::bit_cast<int32_t>(effect->getParameter(effect, i)));
}

} // namespace plugin

#pragma once

#include "base/core/EndianMode.h"
#include "base/core/String.h"
#include "vst2/Vst2Abi.h"

#include <cstdint>

namespace base::core {
class InputStream;
class OutputStream;
} // namespace base::core

namespace plugin {

// Moves an effect's state between it and preset files: reads program and bank files (.fxp, .fxb, in
// either byte order), text presets (.h2p), NKS presets (.nksf) and raw chunks, and writes banks.
// Failures are IOExceptions whose messages reach the client as they are.
// Main thread only (where requests run), one call at a time for an effect; the caller keeps the effect
// open and holds its instance's setting-up flag meanwhile.
class Vst2PresetFile {
public:
    explicit Vst2PresetFile(AEffect* effect) : effect(effect) {}

    // Chooses the reader by the path's extension, letter case included: ".fxp" and ".fxb" are program
    // and bank files, ".h2p" a text preset, ".nksf" an NKS preset; any other file is a raw chunk.
    void load(const base::core::String& path);
    // Reads a program or bank file of the effect's kind (chunks or parameter values).
    void vstLoadBankOrProgram(const base::core::String& path);
    // Writes the effect's bank: its chunk, or every program's parameter values.
    void save(const base::core::String& path);

private:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) const;
    bool hasChunks() const { return (effect->flags & effFlagsProgramChunks) != 0; }
    bool matchesUniqueId(VstInt32 fxID) const;

    void loadProgram(base::core::InputStream& in, base::core::EndianMode order, VstInt32 fxMagic);
    void loadBank(base::core::InputStream& in, base::core::EndianMode order, VstInt32 fxMagic,
                  VstInt32 version);
    void loadBankPrograms(base::core::InputStream& in, base::core::EndianMode order, int count);
    // A size field followed by that many bytes, handed to the plug-in as a bank (0) or program (1) chunk.
    void loadChunk(base::core::InputStream& in, base::core::EndianMode order, VstInt32 index);
    void loadTextPreset(const base::core::String& path);
    void loadNksPreset(const base::core::String& path);
    void loadRawChunk(const base::core::String& path);

    void writeBank(base::core::OutputStream& out, const void* chunk, VstInt32 chunkSize);
    void writeProgramRecord(base::core::OutputStream& out, int index);

    AEffect* effect;
    // Set while a file is read: no size field may ask for more than the whole file.
    int64_t fileLength = 0;
};

} // namespace plugin

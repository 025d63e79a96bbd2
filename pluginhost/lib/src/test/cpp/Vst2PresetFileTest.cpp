#include "vst2/Vst2PresetFile.h"
#include "base/core/IOException.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

using namespace plugin;
using namespace std::string_literals;

namespace {

constexpr VstInt32 ID = 0x5A745072;

// An effect in memory that keeps what the preset code gives it.
struct FakeEffect {
    FakeEffect(int programs, int params, bool chunks, VstInt32 id = ID)
        : values(programs, std::vector<float>(params)) {
        effect.dispatcher = [](AEffect* e, VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr, float) {
            return of(e).dispatch(op, index, value, ptr);
        };
        effect.setParameter = [](AEffect* e, VstInt32 i, float v) { of(e).values[of(e).program][i] = v; };
        effect.getParameter = [](AEffect* e, VstInt32 i) { return of(e).values[of(e).program][i]; };
        effect.numPrograms = programs;
        effect.numParams = params;
        effect.flags = chunks ? effFlagsProgramChunks : 0;
        effect.object = this;
        effect.uniqueID = id;
        effect.version = 7;
    }
    static FakeEffect& of(AEffect* e) { return *static_cast<FakeEffect*>(e->object); }

    VstIntPtr dispatch(VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr) {
        opcodes.push_back(op);
        if (op == effSetProgram)
            program = static_cast<int>(value);
        else if (op == effSetProgramName)
            names[program] = static_cast<char*>(ptr);
        else if (op == effGetProgramNameIndexed)
            std::snprintf(static_cast<char*>(ptr), 24, "Program %d", index);
        else if (op == effGetChunk)
            *static_cast<void**>(ptr) = chunk.data();
        if (op == effSetChunk) {
            chunk.assign(static_cast<char*>(ptr), value);
            chunkIndex = index;
        }
        return op == effGetProgram ? program
               : op == effGetChunk ? static_cast<VstIntPtr>(chunk.size())
                                   : (op == effBeginLoadBank && refuseBank ? -1 : 0);
    }

    AEffect effect{};
    std::vector<std::vector<float>> values;
    int program = 0;
    std::map<int, std::string> names;
    std::string chunk;
    int chunkIndex = -1;
    bool refuseBank = false;
    std::vector<VstInt32> opcodes;
};

// The bytes of a file, 32-bit fields in either byte order.
struct Bytes {
    bool littleEndian = false;
    std::string data;
    template <typename T>
    requires std::is_integral_v<T> Bytes& operator<<(T value) {
        for (int i = 0; i < 4; ++i)
            data += static_cast<char>(static_cast<uint32_t>(value) >> (littleEndian ? 8 * i : 24 - 8 * i));
        return *this;
    }
    Bytes& operator<<(float v) { return *this << std::bit_cast<uint32_t>(v); }
    Bytes& operator<<(const std::string& raw) {
        data += raw;
        return *this;
    }
};

// A bank header to the end of its future bytes; a version-2 bank that selects program 1.
Bytes bank(bool littleEndian, VstInt32 fxMagic, VstInt32 id, int programs) {
    Bytes b;
    b << cMagic << 0 << fxMagic;
    b.littleEndian = littleEndian;
    return b << 2 << id << 1 << programs << 1 << std::string(124, '\0');
}
Bytes& program(Bytes& b, VstInt32 fxMagic, VstInt32 id, std::vector<float> values) {
    b << cMagic << 0 << fxMagic << 1 << id << 1 << int(values.size()) << std::string(28, 'n');
    for (float v : values)
        b << v;
    return b;
}
Bytes program(VstInt32 id, std::vector<float> values) {
    Bytes b;
    return program(b, fMagic, id, values);
}

std::string pathOf(const std::string& name) {
    return testing::TempDir() + "vst2preset-" + name;
}
std::string write(const std::string& name, const std::string& data) {
    const std::string path = pathOf(name);
    std::ofstream(path, std::ios::binary) << data;
    return path;
}
std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(Vst2PresetFile, ParameterBankIsWrittenInTheBankLayoutAndLoadsBack) {
    FakeEffect saved(3, 2, false);
    saved.values = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
    saved.program = 2;
    const std::string path = pathOf("params.fxb");
    Vst2PresetFile(&saved.effect).save(path);
    const std::string file = read(path);
    ASSERT_EQ(file.size(), 348u);
    EXPECT_EQ(file.substr(0, 32), (Bytes() << cMagic << 332 << bankMagic << 2 << ID << 7 << 3 << 2).data);
    const std::string second = (Bytes() << cMagic << 60 << fMagic << 2 << ID << 7 << 2).data + "Program 1\0"s;
    EXPECT_EQ(file.substr(156 + 64, second.size()), second);
    EXPECT_EQ(saved.program, 2);

    FakeEffect loaded(3, 2, false);
    Vst2PresetFile(&loaded.effect).load(path);
    EXPECT_EQ(loaded.values, saved.values);
    EXPECT_EQ(loaded.names[1], "Program 1");
    EXPECT_EQ(loaded.program, 2);
}

TEST(Vst2PresetFile, ChunkBankCarriesTheSameBytesBack) {
    FakeEffect saved(0, 4, true);
    saved.chunk = "state\0bytes"s;
    const std::string path = pathOf("chunk.fxb");
    Vst2PresetFile(&saved.effect).save(path);
    EXPECT_EQ(read(path).substr(4, 8), (Bytes() << 163 << chunkBankMagic).data);

    FakeEffect loaded(0, 4, true);
    Vst2PresetFile(&loaded.effect).load(path);
    EXPECT_EQ(loaded.chunk, saved.chunk);
    EXPECT_EQ(loaded.chunkIndex, 0);
}

TEST(Vst2PresetFile, LittleEndianBanksAndTwinIdsLoad) {
    Bytes file = bank(true, bankMagic, ID, 2);
    program(program(file, fMagic, ID, {0.25f, 0.75f, 0.5f}), fMagic, ID, {1.0f, 0.0f, 0.5f});
    FakeEffect effect(2, 2, false); // the third value of each program has no parameter
    Vst2PresetFile(&effect.effect).load(write("le.fxb", file.data));
    EXPECT_EQ(effect.values, (std::vector<std::vector<float>>{{0.25f, 0.75f}, {1.0f, 0.0f}}));
    EXPECT_EQ(effect.program, 1);

    FakeEffect twin(1, 1, false, 0x70727355);
    Vst2PresetFile(&twin.effect).load(write("twin.fxp", program(0x75685057, {0.5f}).data));
    EXPECT_EQ(twin.values[0][0], 0.5f);
}

TEST(Vst2PresetFile, FailuresNameTheirCauseAndEndTheProgramChange) {
    Bytes foreignRecord = bank(false, bankMagic, ID, 2);
    program(program(foreignRecord, fMagic, ID, {0.5f}), fMagic, ID + 1, {0.5f});
    Bytes chunkRecord = bank(false, bankMagic, ID, 1);
    program(chunkRecord, chunkPresetMagic, ID, {});
    const std::string riff = "RIFF\0\0\0\0NIKS"s;
    const struct {
        const char* name;
        std::string data;
        bool chunks;
        std::string message;
    } cases[] = {
        {"magic.fxp", "RIFF0000", false, "Invalid format id: 1380533830"},
        {"kind.fxb", bank(false, chunkBankMagic, ID, 0).data, false,
         "Error loading vst2 bank/preset: " + pathOf("kind.fxb")},
        {"device.fxp", program(ID + 1, {}).data, false, "Incorrect device id in program"},
        {"unique.fxb", bank(false, bankMagic, ID + 1, 0).data, false, "Incorrect unique id"},
        {"refused.fxb", bank(false, chunkBankMagic, ID, 0).data, true, "Vst-plugin refused to load bank"},
        {"negative.fxb", (bank(false, chunkBankMagic, ID, 0) << -1).data, true, "Data size is negative"},
        {"format.fxb", chunkRecord.data, false, "Incorrect program format id for progam 0"},
        {"record.fxb", foreignRecord.data, false, "Incorrect unique id for program 1"},
        {"selector.nksf", riff + "PCHK\x08\0\0\0\x02\0\0\0\0\0\0\0"s, false,
         "Expected 0 or 1 for if bank or preset"},
        {"short.nksf", riff + "PCHK\x02\0\0\0xx"s, false, "PCHK chunk must be at least 4 bytes long"},
        {"none.nksf", riff + "NISI\x03\0\0\0abc\0"s, false, "No plugin data chunk found in NKSF file"},
    };
    for (const auto& c : cases) {
        FakeEffect effect(2, 1, c.chunks);
        effect.refuseBank = std::string(c.name) == "refused.fxb";
        try {
            Vst2PresetFile(&effect.effect).load(write(c.name, c.data));
            ADD_FAILURE() << c.name << " loaded";
        } catch (const base::core::IOException& e) {
            EXPECT_EQ(e.getMessage().getStdString(), c.message) << c.name;
        }
        // Once a program or bank header is read, the plug-in always hears that the change is over.
        const bool pastHeader = c.data.size() > 16 && c.data.rfind("RIFF", 0) != 0;
        EXPECT_EQ(!effect.opcodes.empty() && effect.opcodes.back() == effEndSetProgram, pastHeader) << c.name;
    }
}

TEST(Vst2PresetFile, OtherKindsReachThePluginAsChunks) {
    const std::string nks = "RIFF\0\0\0\0NIKSNISI\x03\0\0\0abc\0PCHK\x07\0\0\0\0\0\0\0xyz\0"s;
    const struct {
        const char* name;
        std::string data;
        std::string chunk;
        int index;
    } cases[] = {
        {"scale.h2p", "#h2p\nGScale=2\nVolume=1", "#h2p\n        \nVolume=1", 1},
        {"first.h2p", "GScale=2\nVolume=1", "GScale=2\nVolume=1", 1},
        {"raw.FXP", "CcnK\0"s, "CcnK\0"s, 1},
        {"bank.nksf", nks, "xyz\0"s, 0},
    };
    for (const auto& c : cases) {
        FakeEffect effect(1, 1, true);
        Vst2PresetFile(&effect.effect).load(write(c.name, c.data));
        EXPECT_EQ(effect.chunk, c.chunk) << c.name;
        EXPECT_EQ(effect.chunkIndex, c.index) << c.name;
    }
}

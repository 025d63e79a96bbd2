#pragma once

// Plug-in side. The factory and the exported entry function of one test VST 3 module: a module source ends
// with TEST_VST3_MODULE(classEntry<...>(...), ...). The SDK subset that Debian carries has no factory helper,
// hence this small one. Called by the host on its main thread.

#include "base/source/fobject.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <iterator>

namespace testvst3 {

using namespace Steinberg;
using namespace Steinberg::Vst;

class Factory;
// The module's one factory while anyone holds it; made again when asked after the last release.
inline Factory* theFactory = nullptr;

struct ClassEntry {
    PClassInfo2 info;
    FUnknown* (*create)(); // a new object holding one reference
};

template <class T>
ClassEntry classEntry(const TUID cid, const char* name, const char* subCategories, const char* version,
                      const char* category = kVstAudioEffectClass) {
    return {PClassInfo2(cid, PClassInfo::kManyInstances, category, name, 0, subCategories, "Zelvar Tests",
                        version, kVstVersionString),
            [] { return (new T())->unknownCast(); }};
}

class Factory : public FObject, public IPluginFactory2 {
public:
    Factory(const ClassEntry* classes, int count) : classes(classes), count(count) {}
    ~Factory() override { theFactory = nullptr; }

    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
        *info = PFactoryInfo("Zelvar Test Plug-ins", "https://example.invalid", "", PFactoryInfo::kUnicode);
        return kResultOk;
    }
    int32 PLUGIN_API countClasses() override { return count; }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        if (index < 0 || index >= count)
            return kInvalidArgument;
        const PClassInfo2& entry = classes[index].info;
        *info = PClassInfo(entry.cid, entry.cardinality, entry.category, entry.name);
        return kResultOk;
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        if (index < 0 || index >= count)
            return kInvalidArgument;
        *info = classes[index].info;
        return kResultOk;
    }
    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** object) override {
        *object = nullptr;
        for (int i = 0; i < count; ++i) {
            if (FUnknownPrivate::iidEqual(classes[i].info.cid, cid))
                return owned(classes[i].create())->queryInterface(iid, object);
        }
        return kNoInterface;
    }

    OBJ_METHODS(Factory, FObject)
    DEF_INTERFACES_2(IPluginFactory, IPluginFactory2, FObject)
    REFCOUNT_METHODS(FObject)

private:
    const ClassEntry* classes;
    int count;
};

} // namespace testvst3

// Each caller of GetPluginFactory gets a reference of its own; the last release deletes the factory.
#define TEST_VST3_MODULE(...)                                                                                \
    namespace testvst3 {                                                                                     \
    const ClassEntry CLASSES[] = {__VA_ARGS__};                                                              \
    }                                                                                                        \
    extern "C" {                                                                                             \
    SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {                            \
        if (testvst3::theFactory && testvst3::theFactory->addRef() > 1)                                      \
            return testvst3::theFactory;                                                                     \
        testvst3::theFactory = new testvst3::Factory(testvst3::CLASSES, std::size(testvst3::CLASSES));       \
        return testvst3::theFactory;                                                                         \
    }                                                                                                        \
    }

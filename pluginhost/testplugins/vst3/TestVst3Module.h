#pragma once

// Plug-in side. The factory and the exported entry functions of one test VST 3 module: a module source
// lists its classes and ends with TEST_VST3_MODULE(classes). The SDK subset that Debian carries has no
// factory helper, hence this small one. Called by the host on its main thread.

#include "pluginterfaces/base/ipluginbase.h"

#include <atomic>
#include <iterator>

namespace testvst3 {

class Factory;
// The module's one factory while anyone holds it; made again when asked after the last release.
inline Factory* theFactory = nullptr;

struct ClassEntry {
    Steinberg::PClassInfo2 info;
    Steinberg::FUnknown* (*create)(); // a new object holding one reference
};

class Factory : public Steinberg::IPluginFactory2 {
public:
    Factory(const ClassEntry* classes, int count) : classes(classes), count(count) {}
    virtual ~Factory() = default;

    Steinberg::tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override {
        *info = Steinberg::PFactoryInfo("Zelvar Test Plug-ins", "https://example.invalid", "",
                                        Steinberg::PFactoryInfo::kUnicode);
        return Steinberg::kResultOk;
    }
    Steinberg::int32 PLUGIN_API countClasses() override { return count; }
    Steinberg::tresult PLUGIN_API getClassInfo(Steinberg::int32 index, Steinberg::PClassInfo* info) override {
        if (index < 0 || index >= count)
            return Steinberg::kInvalidArgument;
        const Steinberg::PClassInfo2& entry = classes[index].info;
        *info = Steinberg::PClassInfo(entry.cid, entry.cardinality, entry.category, entry.name);
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API getClassInfo2(Steinberg::int32 index,
                                                Steinberg::PClassInfo2* info) override {
        if (index < 0 || index >= count)
            return Steinberg::kInvalidArgument;
        *info = classes[index].info;
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString cid, Steinberg::FIDString iid,
                                                 void** object) override {
        *object = nullptr;
        for (int i = 0; i < count; ++i) {
            if (!Steinberg::FUnknownPrivate::iidEqual(classes[i].info.cid, cid))
                continue;
            Steinberg::FUnknown* made = classes[i].create();
            const Steinberg::tresult result = made->queryInterface(iid, object);
            made->release();
            return result;
        }
        return Steinberg::kNoInterface;
    }
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override {
        if (Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::IPluginFactory2::iid) ||
            Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::IPluginFactory::iid) ||
            Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::FUnknown::iid)) {
            addRef();
            *object = static_cast<Steinberg::IPluginFactory2*>(this);
            return Steinberg::kResultOk;
        }
        *object = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return ++references; }
    Steinberg::uint32 PLUGIN_API release() override {
        const Steinberg::uint32 left = --references;
        if (left == 0) {
            theFactory = nullptr;
            delete this;
        }
        return left;
    }

private:
    const ClassEntry* classes;
    int count;
    std::atomic<Steinberg::uint32> references{1};
};

} // namespace testvst3

// Each caller of GetPluginFactory gets a reference of its own; the last release deletes the factory.
#define TEST_VST3_MODULE(classes)                                                                            \
    extern "C" {                                                                                             \
    SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {                            \
        if (testvst3::theFactory && testvst3::theFactory->addRef() > 1)                                      \
            return testvst3::theFactory;                                                                     \
        testvst3::theFactory = new testvst3::Factory(classes, static_cast<int>(std::size(classes)));         \
        return testvst3::theFactory;                                                                         \
    }                                                                                                        \
    SMTG_EXPORT_SYMBOL bool ModuleEntry(void*) {                                                             \
        return true;                                                                                         \
    }                                                                                                        \
    SMTG_EXPORT_SYMBOL bool ModuleExit() {                                                                   \
        return true;                                                                                         \
    }                                                                                                        \
    }

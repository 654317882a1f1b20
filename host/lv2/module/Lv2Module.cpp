// The plug-in as an LV2 module: the one entry point a host looks up (lv2_descriptor), one descriptor
// per channel-I/O pair of the plug-in, and the C callbacks that forward to IPlugLV2. The URIs come
// from the plug-in itself (Lv2Ports.h), as the bundle's description does.
//
// Its editors are X11 windows, opened inside a host's window by the bundle's UI module through the
// editor-access interface (extension data), on the instance the UI reaches through instance-access.
//
// No exception leaves a callback: instantiate catches every failure and returns null.

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/IGraphicsLinux.h"
#include "editor/WindowSystem.h"
#include "framework/CreationSampleRate.h"
#include "host/lv2/IPlugLV2.h"
#include "host/lv2/Lv2EditorAccess.h"
#include "host/lv2/Lv2Ports.h"

namespace {

struct DescriptorTable {
    std::vector<lv2::PluginEntry> entries;
    std::vector<LV2_Descriptor> descriptors;
};

IPlugLV2* Plug(LV2_Handle instance) {
    return static_cast<IPlugLV2*>(instance);
}

const DescriptorTable& Table();

// Instantiation thread.
LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double sampleRate, const char* bundlePath,
                       const LV2_Feature* const* features) {
    try {
        const DescriptorTable& table = Table();
        const lv2::PluginEntry* entry = nullptr;
        for (size_t i = 0; i < table.descriptors.size(); ++i)
            if (descriptor && std::strcmp(descriptor->URI, table.descriptors[i].URI) == 0)
                entry = &table.entries[i];
        if (!entry) return nullptr;
        // The editor is built with the plug-in; building it for X11 opens no connection until a UI
        // opens its window.
        SetWindowSystem(EWindowSystem::kX11);
        // Built for the host's rate from the start: the engines are set up once.
        const ScopedCreationSampleRate rate(sampleRate);
        std::unique_ptr<IPlugLV2> plug(MakePlug());
        if (!plug || !plug->Instantiate(entry->nIn, entry->nOut, sampleRate, bundlePath, features))
            return nullptr;
        return plug.release();
    } catch (...) {
        return nullptr;
    }
}

// Audio thread.
void ConnectPort(LV2_Handle instance, uint32_t port, void* data) {
    Plug(instance)->ConnectPort(port, data);
}

// Instantiation thread.
void Activate(LV2_Handle instance) {
    Plug(instance)->Activate();
}

// Audio thread.
void Run(LV2_Handle instance, uint32_t nFrames) {
    Plug(instance)->Run(nFrames);
}

// Instantiation thread.
void Deactivate(LV2_Handle instance) {
    Plug(instance)->Deactivate();
}

// Instantiation thread.
void Cleanup(LV2_Handle instance) {
    delete Plug(instance);
}

// Instantiation thread.
LV2_State_Status Save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
    try {
        return Plug(instance)->SaveState(store, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

// Instantiation thread.
LV2_State_Status Restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
    try {
        return Plug(instance)->RestoreState(retrieve, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

// The editor-access functions: UI thread.
uintptr_t EditorOpen(LV2_Handle instance, uintptr_t parent, const lv2::EditorHost* host) {
    try {
        return instance && host ? Plug(instance)->OpenEditor(parent, *host) : 0;
    } catch (...) {
        return 0;
    }
}

int EditorIdle(LV2_Handle instance) {
    try {
        return instance && Plug(instance)->IdleEditor() ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

void EditorClose(LV2_Handle instance) {
    if (instance) Plug(instance)->CloseEditor();
}

void EditorSize(LV2_Handle instance, int* width, int* height) {
    const IGraphics* g = instance ? dynamic_cast<const IGraphics*>(Plug(instance)->GetGUI()) : nullptr;
    if (width) *width = g ? g->ScreenWidth() : 0;
    if (height) *height = g ? g->ScreenHeight() : 0;
}

void EditorScale(LV2_Handle instance, double scale) {
    auto* g = instance ? dynamic_cast<IGraphicsLinux*>(Plug(instance)->GetGUI()) : nullptr;
    if (g) g->SetRequestedScale(scale);
}

// Any thread.
const void* ExtensionData(const char* uri) {
    static const LV2_State_Interface state = {Save, Restore};
    static const lv2::EditorAccess editor = {EditorOpen, EditorIdle, EditorClose, EditorSize, EditorScale};
    if (uri && std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
    if (uri && std::strcmp(uri, lv2::kEditorAccessUri) == 0) return &editor;
    return nullptr;
}

// Fills the table from one probe instance of the plug-in, which is then deleted; left empty when
// the plug-in cannot be built.
void Fill(DescriptorTable* t) {
    try {
        std::unique_ptr<IPlugLV2> probe(MakePlug());
        if (probe) t->entries = lv2::PluginEntries(*probe);
    } catch (...) {
        t->entries.clear();
    }
    // The entries are complete before the descriptors point into their strings.
    for (const lv2::PluginEntry& e : t->entries)
        t->descriptors.push_back(
            {e.uri.c_str(), Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData});
}

// Built on first use, once, even under concurrent first calls.
const DescriptorTable& Table() {
    static DescriptorTable table;
    static const bool filled = (Fill(&table), true);
    (void)filled;
    return table;
}

}  // namespace

// Any thread. The descriptor of plug-in `index` of this module, null past the last.
extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    try {
        const DescriptorTable& table = Table();
        return index < table.descriptors.size() ? &table.descriptors[index] : nullptr;
    } catch (...) {
        return nullptr;
    }
}

// The bundle's X11 UI: a thin module that opens the plug-in instance's own editor inside the host's
// window. It reaches the instance through instance-access and the plug-in module's editor-access
// interface through data-access, hands the editor the host's write function (and ui:touch when
// offered), draws it at the host's ui:scaleFactor (else at the desktop's scale), tells the host the
// editor's size at that scale through ui:resize, and drives it from the host's
// ui:idleInterface calls. Port events need no handling: the editor shows the plug-in's own
// parameters, which the plug-in updates from its ports.
//
// Every callback runs on the host's UI thread. No exception leaves a callback.

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/log/logger.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "host/lv2/Lv2EditorAccess.h"

namespace {

struct Ui {
    const lv2::EditorAccess* access = nullptr;
    LV2_Handle instance = nullptr;
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Touch* touch = nullptr;
    lv2::EditorHost host = {};
};

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features && features[i]; ++i)
        if (features[i]->URI && std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
    return nullptr;
}

// The host's ui:scaleFactor (a float, or a double or an int from a lenient host), or 0 when it gives none.
double ScaleFactor(const LV2_Feature* const* features) {
    const auto* map = static_cast<const LV2_URID_Map*>(FindFeature(features, LV2_URID__map));
    const auto* options = static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options));
    if (!map || !map->map || !options) return 0.0;
    const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
    const LV2_URID atomDouble = map->map(map->handle, LV2_ATOM__Double);
    const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->key != key || !o->value) continue;
        if (o->type == atomFloat && o->size == sizeof(float)) return *static_cast<const float*>(o->value);
        if (o->type == atomDouble && o->size == sizeof(double)) return *static_cast<const double*>(o->value);
        if (o->type == atomInt && o->size == sizeof(int32_t)) return *static_cast<const int32_t*>(o->value);
    }
    return 0.0;
}

// The whole-number GDK_SCALE of the host's process, or 1.
double GdkScale() {
    const char* value = std::getenv("GDK_SCALE");
    const int scale = value ? std::atoi(value) : 1;
    return scale > 1 ? scale : 1.0;
}

void WritePort(void* controller, uint32_t port, float value) {
    const Ui* ui = static_cast<const Ui*>(controller);
    ui->write(ui->controller, port, sizeof value, 0, &value);
}

void TouchPort(void* controller, uint32_t port, bool grabbed) {
    const Ui* ui = static_cast<const Ui*>(controller);
    ui->touch->touch(ui->touch->handle, port, grabbed);
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor* /*descriptor*/, const char* pluginUri,
                         const char* /*bundlePath*/, LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    LV2_Log_Logger logger = {};
    lv2_log_logger_init(&logger,
                        static_cast<LV2_URID_Map*>(const_cast<void*>(FindFeature(features, LV2_URID__map))),
                        static_cast<LV2_Log_Log*>(const_cast<void*>(FindFeature(features, LV2_LOG__log))));
    const char* uri = pluginUri ? pluginUri : "";
    LV2_Handle instance = const_cast<void*>(FindFeature(features, LV2_INSTANCE_ACCESS_URI));
    const auto* data =
        static_cast<const LV2_Extension_Data_Feature*>(FindFeature(features, LV2_DATA_ACCESS_URI));
    void* parent = const_cast<void*>(FindFeature(features, LV2_UI__parent));
    if (!instance || !data || !data->data_access || !write || !widget) {
        lv2_log_error(&logger,
                      "%s: the editor needs the plug-in instance in this process "
                      "(instance-access and data-access)\n",
                      uri);
        return nullptr;
    }
    if (!parent) {
        lv2_log_error(&logger, "%s: the editor needs a parent window (ui:parent)\n", uri);
        return nullptr;
    }
    const auto* access = static_cast<const lv2::EditorAccess*>(data->data_access(lv2::kEditorAccessUri));
    if (!access) {
        lv2_log_error(&logger, "%s: the plug-in offers no editor to this UI\n", uri);
        return nullptr;
    }
    Ui* ui = new (std::nothrow) Ui;
    if (!ui) return nullptr;
    ui->access = access;
    ui->instance = instance;
    ui->write = write;
    ui->controller = controller;
    ui->touch = static_cast<const LV2UI_Touch*>(FindFeature(features, LV2_UI__touch));
    if (ui->touch && !ui->touch->touch) ui->touch = nullptr;
    ui->host = {ui, WritePort, ui->touch ? TouchPort : nullptr};

    const double scale = ScaleFactor(features);
    access->scale(instance, scale > 0.0 ? scale : 0.0);
    const uintptr_t window = access->open(instance, reinterpret_cast<uintptr_t>(parent), &ui->host);
    if (window == 0) {
        lv2_log_error(&logger,
                      "%s: the editor's window cannot be opened (no X display, or it is "
                      "already open)\n",
                      uri);
        delete ui;
        return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(window);
    if (const auto* resize = static_cast<const LV2UI_Resize*>(FindFeature(features, LV2_UI__resize))) {
        int w = 0, h = 0;
        access->size(instance, &w, &h);
        // A host that scales its own widgets (one giving ui:scaleFactor, or a GTK host under GDK_SCALE)
        // counts sizes in its logical pixels, each `hostScale` screen pixels wide: the editor's screen
        // size in those units fills the area it reserves exactly.
        const double hostScale = scale > 0.0 ? scale : GdkScale();
        if (hostScale > 1.0) {
            w = static_cast<int>(w / hostScale + 0.5);
            h = static_cast<int>(h / hostScale + 0.5);
        }
        if (resize->ui_resize && w > 0 && h > 0) resize->ui_resize(resize->handle, w, h);
    }
    return ui;
}

void Cleanup(LV2UI_Handle handle) {
    Ui* ui = static_cast<Ui*>(handle);
    if (!ui) return;
    ui->access->close(ui->instance);
    delete ui;
}

void PortEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}

int Idle(LV2UI_Handle handle) {
    const Ui* ui = static_cast<const Ui*>(handle);
    return ui ? ui->access->idle(ui->instance) : 1;
}

const void* ExtensionData(const char* uri) {
    static const LV2UI_Idle_Interface idle = {Idle};
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idle;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {QUENLIX_LV2_UI_URI, Instantiate, Cleanup, PortEvent, ExtensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}

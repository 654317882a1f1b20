#include "plugin/PlatformEditor.h"

#include <string>

#include "editor/IGraphics.h"
#include "raster/PNG.h"

namespace
{

// Interim window-system binding without a window: images come from the source tree's resources.
class InterimEditor : public IGraphics
{
public:
  using IGraphics::IGraphics;
  bool DrawScreen(IRECT*) override { return true; }
  void ForceEndUserEdit() override {}
  int ShowMessageBox(const char*, const char*, int) override { return 0; }
  IPopupMenu* CreateIPopupMenu(IPopupMenu*, IRECT*) override { return nullptr; }
  void CreateTextEntry(IControl*, IText*, IRECT*, const char*, IParam*) override {}
  void HostPath(WDL_String*) override {}
  void PluginPath(WDL_String*) override {}
  void DesktopPath(WDL_String*) override {}
  void AppSupportPath(WDL_String*) override {}
  void PromptForFile(WDL_String* file, EFileAction, WDL_String*, char*) override { file->Set(""); }
  bool PromptForColor(IColor*, char*) override { return false; }
  bool OpenURL(const char*, const char*, const char*, const char*) override { return false; }
  void* OpenWindow(void*) override { return nullptr; }
  void CloseWindow() override {}
  void* GetWindow() override { return nullptr; }
  void UpdateTooltips() override {}
  LICE_IBitmap* OSLoadBitmap(int, const char* name) override
  {
    const std::string path = std::string(QUENLIX_RESOURCE_ROOT) + "/" + name;
    return LICE_LoadPNG(path.c_str());
  }
};

} // namespace

std::unique_ptr<IGraphics> CreatePlatformEditor(IPlugBase* plug, int w, int h, int fps)
{
  return std::make_unique<InterimEditor>(plug, w, h, fps);
}

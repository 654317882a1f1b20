#pragma once

// What the plug-in base needs of its editor. The editor (IGraphics) derives from this; the base
// owns the attached editor and deletes it through this interface, so the framework never sees
// the editor's own headers.
class IEditorLink {
  public:
    virtual ~IEditorLink() = default;

    // Pushes a parameter value into every control bound to paramIdx. value is normalised (0..1)
    // when normalized is set, otherwise in the parameter's own units.
    // Called with the plug-in mutex held, from the audio thread or a host/UI thread: stores
    // values and dirty flags only, no drawing, no allocation.
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;

    // Creates the editor's off-screen rasters. Called once by AttachGraphics, plug-in mutex held.
    virtual void PrepDraw() = 0;
};

// PlugEditor: what the plug-in base asks of its editor. The editor surface
// (graphics/) implements it; core/ knows nothing else of the editor, so every
// dependency between the layers points down.
#pragma once

class RecursiveLock;

class PlugEditor {
 public:
  virtual ~PlugEditor() = default;

  // Any thread: hands a parameter's normalised value to the controls linked to
  // it, under `lock` (the plug-in's PlugLock).
  virtual void PushParamToControls(int index, double value, RecursiveLock& lock) = 0;
  // GUI thread: builds the drawing surface once the controls are attached.
  virtual void PrepareSurface() = 0;
  // Whether this editor shows itself in a host's window (false for an editor
  // without a window system: the host is then told there is no editor).
  virtual bool OpensWindows() const = 0;
  // GUI thread: opens the editor window inside the host's `parent` window.
  virtual bool OpenEditorWindow(void* parent) = 0;
  // GUI thread: closes the window; a press in progress ends as a release.
  virtual void CloseEditor() = 0;
  // GUI thread: the host's idle call, for window systems the editor pumps itself.
  virtual void IdleEditor() {}
  virtual int EditorWidth() const = 0;
  virtual int EditorHeight() const = 0;
};

// Graphics: the editor surface as the plug-in base sees it. The control list,
// mouse dispatch and drawing primitives come with the editor.
#pragma once

class RecursiveLock;

class Graphics {
 public:
  Graphics(int width, int height) : width_(width), height_(height) {}
  virtual ~Graphics() = default;
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  virtual void PrepareSurface() = 0;
  virtual bool OpenEditorWindow(void* parent) = 0;
  virtual void CloseEditorWindow() = 0;
  // Hands a parameter's normalised value to every control bound to it, under `lock`.
  virtual void PushParamToControls(int index, double value, RecursiveLock& lock) = 0;

  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  int width_;
  int height_;
};

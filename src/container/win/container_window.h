#pragma once
// dlgContainerInstall: the progress window of a container (template 122),
// shown while more than one inner installer runs. The common framed
// background with "Installer" and "Processing Installers", and the line
// "Running Install %d of %d", which a 250 ms timer redraws whenever the
// counts change. The same line is the window's title, so that the taskbar
// and screen readers tell it too. "Cancel" (and Escape) closes the window
// only: the inner installers go on. No close button; dragged by its
// surface.
//
// Modeless, on the thread that creates it, which must serve its messages.

#include <atomic>

#include "ui/win/framed_dialog.h"
#include "util/wide_string.h"

// The counts of a container run: total inner installers that run, and the
// 1-based number of the one running (0 before the first). Written by the
// thread that runs them, read by the window's timer.
struct ContainerProgress {
  std::atomic<int> current{0};
  std::atomic<int> total{0};
};

// The progress line for the counts; current 0 counts as 1.
WideString ContainerProgressLine(int current, int total);

class dlgContainerInstall : public FramedDialog {
 public:
  explicit dlgContainerInstall(const ContainerProgress& progress);
  // Destroys the window.
  ~dlgContainerInstall() override;

  // Creates the window without owner and shows it. False when it cannot be
  // created.
  bool Create();
  // Destroys the window (nothing when it was never created).
  void Close();

  void OnCreate() override;
  void OnCancel() override;
  void OnSize(int width, int height, int type) override;
  void OnTimer(UINT id, int userValue) override;

 private:
  // Draws the page for the counts last read.
  void PaintPage();
  // Reads the counts; repaints when they changed since the last drawing.
  void Follow();

  const ContainerProgress& progress_;
  int drawnCurrent_ = -1;
  int drawnTotal_ = -1;
  UINT timer_ = 0;
};

// The display: the back surface in memory, presented by the active backend.
#include "platform/sys_local.h"

void TDXDraw::Initialize() {
  Finalize();
  surface_.SetSize(SurfaceWidth, SurfaceHeight);
  Sys_Impl().OpenDisplay(FullScreen);
  initialized_ = true;
}

void TDXDraw::Finalize() { initialized_ = false; }

bool TDXDraw::CanDraw() const { return initialized_ && Sys_Impl().DisplayOpen() && surface_.Width() > 0; }

void TDXDraw::Flip() {
  if (initialized_) Sys_Impl().Present(surface_);
}

void TDXDraw::StorePlacement() { Sys_Impl().StorePlacement(); }

void TDXDraw::RestorePlacement() { Sys_Impl().RestorePlacement(); }

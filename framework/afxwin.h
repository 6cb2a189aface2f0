// The framework layer: MFC's names for what this program uses of it.
#pragma once
#include "framework/afxstr.h"
#include "framework/afxgeom.h"
#include "framework/afxgdi.h"
#include "framework/afxwnd.h"
#include "framework/afxctl.h"
#include "framework/BoundedText.h"

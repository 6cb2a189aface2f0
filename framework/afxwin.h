// The framework layer: MFC's names for what this program uses of it.
#pragma once
#include "afxstr.h"
#include "afxgeom.h"
#include "afxgdi.h"
#include "afxwnd.h"
#include "afxctl.h"

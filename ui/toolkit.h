// The UI toolkit in one include.
#pragma once

#include "ui/types.h"
#include "ui/delegate.h"
#include "ui/attributes.h"
#include "ui/resources.h"
#include "ui/control.h"
#include "ui/panel.h"
#include "ui/label.h"
#include "ui/button.h"
#include "ui/option.h"
#include "ui/edit.h"
#include "ui/progress.h"
#include "ui/gifanim.h"
#include "ui/paintmanager.h"
#include "ui/dialogbuilder.h"
#include "ui/nativewindow.h"
#include "ui/windowimplbase.h"

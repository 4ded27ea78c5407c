// The UI toolkit in one include.
#pragma once

#include "ui/uidefine.h"
#include "ui/uidelegate.h"
#include "ui/uiattr.h"
#include "ui/uiresource.h"
#include "ui/uicontrol.h"
#include "ui/uicontainer.h"
#include "ui/uilabel.h"
#include "ui/uibutton.h"
#include "ui/uioption.h"
#include "ui/uiedit.h"
#include "ui/uiprogress.h"
#include "ui/uigifanim.h"
#include "ui/uimanager.h"
#include "ui/uidlgbuilder.h"
#include "ui/uibase.h"
#include "ui/windowimplbase.h"

// SPDX-License-Identifier: GPL-3.0-or-later
// A core header that reaches up into the application: the layering check must refuse it.
#include "app/ParamGlob.h"

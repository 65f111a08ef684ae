// SPDX-License-Identifier: GPL-3.0-or-later
// The application's live settings: the process-wide records the windows and
// the command line work with, the settings file's location, and the bridges
// from the settings to the options each core job takes. Only the application
// layer (windows, command line) includes this header; the core gets values.
#pragma once

#include <cstdint>
#include <string>

#include "base/Status.h"
#include "combine/Combine.h"
#include "framing/AutoFrame.h"
#include "framing/Surface.h"
#include "output/Fits.h"
#include "settings/Settings.h"

extern TParamglob ParamGlob;    // the live settings
extern TParamglob ParamSaisie;  // what the Parameters dialog returns on OK
extern TParamFITS ParamFits;    // what the FITS dialog edits, handed to the FITS writer
extern int32_t KappaFactor;     // kappa of the last kappa-sigma run chosen in the kappa dialog (not saved)

// The settings file used by LireParamGlob/EcrireParamGlob: the one SetIniPath
// gave (command-line option --ini), else DefaultSettingsPath.
std::string IniPath();
void SetIniPath(const std::string& path);
// Takes "--ini PATH" (or "--ini=PATH") out of argv and calls SetIniPath;
// argc and argv are updated in place. True when the option was present.
bool TakeIniOption(int& argc, char** argv);

// Default save directory of a fresh settings file, with a trailing separator:
// the one SetDefaultRepertoire gave (the window passes the user's pictures
// folder), else the home folder.
std::string DefaultRepertoire();
void SetDefaultRepertoire(const std::string& dir);

// Resets ParamGlob to its defaults, then reads the settings file (see
// ReadSettings). A file that cannot be used leaves the defaults and the
// failure is returned for the caller to tell.
TStatus LireParamGlob();
// Writes ParamGlob into IniPath() (its folder made when missing). On failure
// the previous file is intact; the caller tells the user
// IniWriteErrorText(IniPath()).
TStatus EcrireParamGlob();
// "Impossible d'écrire dans " followed by path.
std::string IniWriteErrorText(const std::string& path);

// Sets the frame-copy budget of the process (sequence/FrameBlockPool.h) from
// memoire_copies_mo: the windows and the command line call it as a job that
// makes frame copies starts.
void ApplyFrameMemoryBudget(const TParamglob& p);

// The options of one job, from a settings record.
TAutoFrameOptions AutoFrameOptionsOf(const TParamglob& p);
// Sub-pixel alignment (alignement_subpixel) is done in one of two places,
// and the window and the command line both ask here which:
// - surface framing (cadrage_surface): the tracker cuts every frame at the
//   fraction of a pixel where the correlation found the region, and the
//   combination takes the frames as cut. Centring them again on their light,
//   as for a planet, would move them by the brightness of the craters inside
//   the frame, not by the image's drift, and blur the stack;
// - any other framing: the combination moves every frame onto the object's
//   centre of light in the sharpest frames.
// The options of a surface run of `region` (the frame drawn, without its
// margin) of image `reference` (from 0), with p's margin.
TSurfaceOptions SurfaceOptionsOf(const TParamglob& p, const TRect& region, int32_t reference);
// Whether the combination aligns the frames itself.
bool CombineAlignsOf(const TParamglob& p);
// bordure and rejet_kappa from p, and the given kappa.
TCombineParams CombineParamsOf(const TParamglob& p, int32_t kappa);
// ParamGlob and KappaFactor, as the combination commands of the window use them.
TCombineParams CurrentCombineParams();

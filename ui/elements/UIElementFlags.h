// The fixed values of element flags, state bits and event types. Scripts see the same numbers under
// the same names, so none of them may change. Any thread.
#pragma once

#include <cstdint>

// User flags (main copy on the main thread, render copy on the render thread).
constexpr uint32_t UIFLAG_TRANSPARENT = 1;
constexpr uint32_t UIFLAG_HIDDEN = 2;
constexpr uint32_t UIFLAG_CLEARZATSTART = 4;
constexpr uint32_t UIFLAG_FOLLOWMOUSE = 8;
constexpr uint32_t UIFLAG_FOCUSABLEWITHMOUSE = 16;
constexpr uint32_t UIFLAG_PIXELPERFECTFONT = 96;
constexpr uint32_t UIFLAG_NOSPECIALTAGSUBSTITUTION = 256;
constexpr uint32_t UIFLAG_HIERARCHICALANCHOR = 512;
constexpr uint32_t UIFLAG_DRAWPENDINGUIELEMENTS = 2048;
constexpr uint32_t UIFLAG_DRAWDEBUGBOX = 4096;
constexpr uint32_t UIFLAG_PERSISTENTTAP = 8192;
constexpr uint32_t UIFLAG_TEXTTAG = 16384;
constexpr uint32_t UIFLAG_APPENDSPACETOCOMPUTETEXTLENGTH = 32768;
constexpr uint32_t UIFLAG_FADEATPARENTBORDERUPDOWN = 65536;
constexpr uint32_t UIFLAG_FADEATPARENTBORDERLEFTRIGHT = 131072;
constexpr uint32_t UIFLAG_FREEZEALIGNMENTOFFSET = 262144;
constexpr uint32_t UIFLAG_DEPTHTEST = 524288;
constexpr uint32_t UIFLAG_DRAWPENDINGUIELEMENTSBEFORE = 2097152;
constexpr uint32_t UIFLAG_FADECHILDREN = 4194304;
constexpr uint32_t UIFLAG_DISABLEFADE = 8388608;
constexpr uint32_t UIFLAG_DRAWZEROALPHA = 268435456;
constexpr uint32_t UIFLAG_BLOCKFOCUS = 536870912;
constexpr uint32_t UIFLAG_AUTOLAYOUT = 1073741824;

// Render flags without a script constant (render side).
constexpr uint32_t UIRENDERFLAG_CULL = 0x80;
constexpr uint32_t UIRENDERFLAG_FOLLOWENTITY = 0x2000000;
constexpr uint32_t UIRENDERFLAG_CLIPCHILDREN = 0x4000000;
constexpr uint32_t UIRENDERFLAG_STENCILMASK = 0x80000000u;

// Entity tracking options (the screen's tracking entries and command 26).
constexpr uint32_t UIENTITYTRACKING_STAYONSCREEN = 1;
constexpr uint32_t UIENTITYTRACKING_BORDERONLY = 2;
constexpr uint32_t UIENTITYTRACKING_ROTATETOWARDSTARGET = 4;
constexpr uint32_t UIENTITYTRACKING_PERSPECTIVESCALE = 8;
constexpr uint32_t UIENTITYTRACKING_HEALTHBARMODE = 16;
constexpr uint32_t UIENTITYTRACKING_SURVIVEENTITYDEATH = 32;
constexpr uint32_t UIENTITYTRACKING_HIDEWITHENTITY = 64;
constexpr uint32_t UIENTITYTRACKING_RELATIVETOPARENT = 128;
constexpr uint32_t UIENTITYTRACKING_ANCHORINCENTER = 256;

// Window alignment and aspect scaling values.
constexpr uint32_t UIWINDOWALIGNMENT_NONE = 0;
constexpr uint32_t UIWINDOWALIGNMENT_LEFT = 1;
constexpr uint32_t UIWINDOWALIGNMENT_RIGHT = 2;
constexpr uint32_t UIWINDOWALIGNMENT_TOP = 3;
constexpr uint32_t UIWINDOWALIGNMENT_BOTTOM = 4;
constexpr uint32_t UIWINDOWALIGNMENT_LEFTTOP = 5;
constexpr uint32_t UIWINDOWALIGNMENT_LEFTBOTTOM = 6;
constexpr uint32_t UIWINDOWALIGNMENT_RIGHTTOP = 7;
constexpr uint32_t UIWINDOWALIGNMENT_RIGHTBOTTOM = 8;
constexpr uint32_t UIWINDOWASPECTSCALING_NONE = 0;
constexpr uint32_t UIWINDOWASPECTSCALING_HORIZONTAL = 1;
constexpr uint32_t UIWINDOWASPECTSCALING_VERTICAL = 2;
constexpr uint32_t UIWINDOWASPECTSCALING_BOTH = 3;

// Render state bits (render side only).
constexpr uint32_t UIRENDERSTATE_BEHINDCAMERA = 1;
constexpr uint32_t UIRENDERSTATE_DELETED = 2;
constexpr uint32_t UIRENDERSTATE_MODAL = 4;

// State flags (main thread).
constexpr uint32_t UISTATE_VISIBLE = 0x1;
constexpr uint32_t UISTATE_MODAL = 0x2;
constexpr uint32_t UISTATE_SEMIMODAL = 0x4;
constexpr uint32_t UISTATE_ENABLED = 0x8;
constexpr uint32_t UISTATE_HIGHLIGHTED = 0x10;
constexpr uint32_t UISTATE_PRESSED = 0x20;
constexpr uint32_t UISTATE_SELECTED = 0x40;
constexpr uint32_t UISTATE_FOCUSED = 0x80;
constexpr uint32_t UISTATE_TRISTATE = 0x200;
constexpr uint32_t UISTATE_DEFAULT = UISTATE_VISIBLE | UISTATE_ENABLED;

// Event types.
constexpr uint32_t UIEVENT_ACTION = 0;
constexpr uint32_t UIEVENT_KEY = 1;
constexpr uint32_t UIEVENT_MOUSEDOWN = 2;
constexpr uint32_t UIEVENT_MOUSEUP = 3;
constexpr uint32_t UIEVENT_CLICK = 4;
constexpr uint32_t UIEVENT_DOUBLECLICK = 5;
constexpr uint32_t UIEVENT_MOUSEOVERBEGIN = 6;
constexpr uint32_t UIEVENT_MOUSEOVEREND = 7;
constexpr uint32_t UIEVENT_POINTERMOVE = 8; // no script constant
constexpr uint32_t UIEVENT_DRAGBEGIN = 9;
constexpr uint32_t UIEVENT_DRAGEND = 10;
constexpr uint32_t UIEVENT_ONSHOW = 11;
constexpr uint32_t UIEVENT_ONHIDE = 12;
constexpr uint32_t UIEVENT_ONDISABLE = 13;
constexpr uint32_t UIEVENT_ONENABLE = 14;
constexpr uint32_t UIEVENT_ONPRESS = 15;
constexpr uint32_t UIEVENT_ONUNPRESS = 16;
constexpr uint32_t UIEVENT_ONHIGHLIGHT = 17;
constexpr uint32_t UIEVENT_ONUNHIGHLIGHT = 18;
constexpr uint32_t UIEVENT_ONSELECT = 19;
constexpr uint32_t UIEVENT_ONUNSELECT = 20;
constexpr uint32_t UIEVENT_ONSELECTIONCHANGED = 21;
constexpr uint32_t UIEVENT_ONFOCUS = 22;
constexpr uint32_t UIEVENT_ONUNFOCUS = 23;

// Listener flags.
constexpr uint8_t UIEVENTFLAG_ONENABLE = 1;
constexpr uint8_t UIEVENTFLAG_ONDISABLE = 2;
constexpr uint8_t UIEVENTFLAG_ONALL = 3;
constexpr uint8_t UIEVENTFLAG_NOCONSUME = 4;

// Event record dispatch flags.
constexpr uint32_t UIDISPATCH_STOPBUBBLING = 1;
constexpr uint32_t UIDISPATCH_NOTIFYSCREEN = 2;
constexpr uint32_t UIDISPATCH_SUBTREEONLY = 4;
constexpr uint32_t UIDISPATCH_THISONLY = 16;

// Action flags.
constexpr uint32_t UIACTIONFLAG_LINEAR = 0;
constexpr uint32_t UIACTIONFLAG_HALFSINE = 1;
constexpr uint32_t UIACTIONFLAG_INVHALFSINE = 2;
constexpr uint32_t UIACTIONFLAG_SINE = 3;
constexpr uint32_t UIACTIONFLAG_HALFSINESLOW = 4;
constexpr uint32_t UIACTIONFLAG_REPEAT = 8;
constexpr uint32_t UIACTIONFLAG_GAMEPLAYTIME = 16;
constexpr uint32_t UIACTIONFLAG_SYSTEMTIME = 32;
constexpr uint32_t UIACTIONFLAG_REMOVEOTHERACTIONS = 64;
constexpr uint32_t UIACTIONFLAG_DONOTWAIT = 128;
constexpr uint32_t UIACTIONFLAG_RESETIFNOPRESET = 256;

// Blend modes and colour modes.
constexpr uint32_t BLEND_NONE = 0;
constexpr uint32_t BLEND_ALPHA = 1;
constexpr uint32_t BLEND_ADD = 2;
constexpr uint32_t BLEND_ADDALPHA = 3;
constexpr uint32_t BLEND_INVALPHA = 4;
constexpr uint32_t UICOLOR_STATIC = 0;
constexpr uint32_t UICOLOR_MULTIPLYBYPARENTALPHA = 1;
constexpr uint32_t UICOLOR_MULTIPLYBYPARENTCOLOR = 2;

// Element action channels.
constexpr uint32_t kUIActionChannelCount = 4;

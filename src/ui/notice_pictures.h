#pragma once
// Resource ids of the popup's three pictures, drawn by tools/make_icon.py;
// plain macros, as the resource script includes this file too.
#define QM_PICTURE_OK 101
#define QM_PICTURE_WARNING 102
#define QM_PICTURE_ASK 103

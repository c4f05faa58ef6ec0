#pragma once
// The program's file version, set by the build from the project version.
#ifndef QM_VER_MAJOR
#define QM_VER_MAJOR 1
#define QM_VER_MINOR 0
#define QM_VER_PATCH 0
#define QM_VER_BUILD 1
#endif

#define QM_STR2(x) #x
#define QM_STR(x) QM_STR2(x)
#define QM_VERSION_DOTTED \
    QM_STR(QM_VER_MAJOR) "." QM_STR(QM_VER_MINOR) "." QM_STR(QM_VER_PATCH) "." QM_STR(QM_VER_BUILD)
// As users read it: major.minor.revision, so 1.0.0.68 reads "1.0.68".
#define QM_VERSION_SHOWN QM_STR(QM_VER_MAJOR) "." QM_STR(QM_VER_MINOR) "." QM_STR(QM_VER_BUILD)

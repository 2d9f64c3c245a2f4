#pragma once

// Resource numbers shared by the program and its resource script.
#define VARNOCK_ICON_GROUP 1
#define VARNOCK_LOGO 101
#define VARNOCK_LOGO_TWICE 102
#define VARNOCK_RIBBON 103
#define VARNOCK_RIBBON_TWICE 104

// The Progress page's link label, recorded instead of attached.
#include "install/tests/sequence_stand_ins.h"
#include "shell/link_label.h"

void AttachLinkLabel(HWND, int staticId) { standIns.linkLabelStatic = staticId; }

// Stand-in for the payload extraction header (only while it is not in the tree).
#pragma once
#include <windows.h>
int LoadPayloadText(const char* typeName, WORD id, char** text);

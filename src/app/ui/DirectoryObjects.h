#pragma once

#include "app/BaseClass.h"

#include <memory>

// The view's directory object of a kind, as this build has it.
std::unique_ptr<CBaseClass> CreateDirectoryObject(DirectoryKind kind);

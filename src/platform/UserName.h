#pragma once

#include <QString>

// The login name of the user running the program; false when it cannot be read.
bool GetUserName(QString& name);

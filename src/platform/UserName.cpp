#include "platform/UserName.h"

#include <pwd.h>
#include <unistd.h>

bool GetUserName(QString& name) {
    name.clear();
    // Tests stand in for a user whose name cannot be read.
    if (qEnvironmentVariableIsSet("VELMOR_NO_USER_NAME"))
        return false;
    const passwd* pw = getpwuid(geteuid());
    if (!pw || !pw->pw_name)
        return false;
    name = QString::fromLocal8Bit(pw->pw_name);
    return !name.isEmpty();
}

# Rewrites a generated binding so that its tests of const object arguments call
# NorvexIsConstUserType (scriptapi/ScriptTypeCheck.h). Run as: cmake -DFILE=<generated.cpp> -P this.
file(READ ${FILE} text)
string(REGEX REPLACE "tolua_isusertype\\(tolua_S,([0-9-]+),\"const ([A-Za-z_0-9:]+)\",([01]),&tolua_err\\)"
       "NorvexIsConstUserType(tolua_S,\\1,\"\\2\",\"const \\2\",\\3,&tolua_err)" text "${text}")
string(REPLACE "#include \"tolua++.h\"" "#include \"tolua++.h\"\n#include \"scriptapi/ScriptTypeCheck.h\"" text "${text}")
file(WRITE ${FILE} "${text}")

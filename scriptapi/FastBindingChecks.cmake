# Rewrites a generated binding so that its tests of object arguments, its object fetches and its
# end-of-arguments tests call the inline forms in scriptapi/ScriptTypeCheck.h, which answer the
# common case themselves and hand every other case to the library.
# Run as: cmake -DFILE=<generated.cpp> -P this.
file(READ ${FILE} text)
string(REGEX REPLACE "tolua_isusertype\\(tolua_S,([0-9-]+),\"const ([A-Za-z_0-9:]+)\",([01]),&tolua_err\\)"
       "NorvexIsConstUserType(tolua_S,\\1,\"\\2\",\"const \\2\",\\3,&tolua_err)" text "${text}")
string(REGEX REPLACE "tolua_isusertype\\(tolua_S,([0-9-]+),\"([A-Za-z_0-9:]+)\",([01]),&tolua_err\\)"
       "NorvexIsUserType(tolua_S,\\1,\"\\2\",\\3,&tolua_err)" text "${text}")
string(REPLACE "tolua_tousertype(tolua_S," "NorvexToUserType(tolua_S," text "${text}")
string(REPLACE "tolua_isnoobj(tolua_S," "NorvexIsNoObject(tolua_S," text "${text}")
string(REPLACE "#include \"tolua++.h\"" "#include \"tolua++.h\"\n#include \"scriptapi/ScriptTypeCheck.h\"" text "${text}")
file(WRITE ${FILE} "${text}")

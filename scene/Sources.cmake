# Template stub lines are XML, read with TinyXML from the system.
find_library(TINYXML_LIBRARY NAMES tinyxml REQUIRED)
list(APPEND NORVEX_EXTRA_LIBS ${TINYXML_LIBRARY})

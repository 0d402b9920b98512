# JNI headers for the JVM start-up code and the test JVM. jni.h comes from the installed
# JDK. On Windows the JDK's jni_md.h is the wrong one (it describes the build machine), so
# src/jvm/jni_win supplies the Windows one: JNICALL __stdcall, jint a 32-bit long.
set(_jdk_home "$ENV{JAVA_HOME}")
if(NOT _jdk_home OR NOT EXISTS "${_jdk_home}/include/jni.h")
  find_program(LAUNCHER_JAVAC_PROGRAM javac NO_CMAKE_FIND_ROOT_PATH)
  if(NOT LAUNCHER_JAVAC_PROGRAM)
    message(FATAL_ERROR "javac not found: a JDK (17) is needed for jni.h and the runtime jar")
  endif()
  get_filename_component(_javac_real "${LAUNCHER_JAVAC_PROGRAM}" REALPATH)
  get_filename_component(_jdk_bin "${_javac_real}" DIRECTORY)
  get_filename_component(_jdk_home "${_jdk_bin}" DIRECTORY)
endif()
set(LAUNCHER_JDK_HOME "${_jdk_home}" CACHE PATH "JDK whose jni.h, javac and libjvm are used")
if(NOT EXISTS "${LAUNCHER_JDK_HOME}/include/jni.h")
  message(FATAL_ERROR "no jni.h under ${LAUNCHER_JDK_HOME}/include")
endif()

if(WIN32)
  include_directories(SYSTEM ${CMAKE_SOURCE_DIR}/src/jvm/jni_win ${LAUNCHER_JDK_HOME}/include)
else()
  include_directories(SYSTEM ${LAUNCHER_JDK_HOME}/include ${LAUNCHER_JDK_HOME}/include/linux)
endif()

/* The machine-dependent part of jni.h for Windows (i686 and x86_64). The JDK installed on
   the build machine carries its own platform's version, which is wrong here: on 32-bit
   Windows the JNI functions use __stdcall (ignored on x86_64) and jint is a 32-bit long
   (long stays 32 bits on 64-bit Windows too). */
#ifndef LAUNCHER_JNI_MD_H
#define LAUNCHER_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif

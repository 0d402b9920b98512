package probe;

import java.io.File;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.PrintStream;

/** The Java program of the Linux installers under test: prints its arguments and the
 *  properties it was started with (UTF-8, whatever the locale). "wait:FILE" makes it create
 *  FILE.started and wait until FILE exists. */
public final class Probe {
  private Probe() {}

  private static final String[] PROPERTIES = {
    "probe.fromConfig", "probe.fromFile", "probe.fromJ", "quoll.tempDir", "quoll.moduleName",
    "quoll.semaphoreName", "java.home", "java.class.path",
  };

  public static void main(String[] args) throws Exception {
    PrintStream out = new PrintStream(new FileOutputStream(FileDescriptor.out), true, "UTF-8");
    for (String arg : args) {
      if (arg.startsWith("wait:")) {
        File release = new File(arg.substring(5));
        new File(release.getPath() + ".started").createNewFile();
        for (int i = 0; i < 1200 && !release.exists(); i++) Thread.sleep(50);
      }
    }
    out.println("args " + args.length);
    for (String arg : args) out.println("arg " + arg);
    for (String name : PROPERTIES) out.println("prop " + name + "=" + System.getProperty(name));
  }
}

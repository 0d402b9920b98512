package jvmtest;

import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.util.Map;
import java.util.TreeMap;

/**
 * Stands in for the launcher classes: writes the class called, the String[] and the
 * launcher's system properties to the file named by -Djvmtest.out, one tab-separated UTF-8
 * line each, so the native test can compare them with its configuration.
 */
public final class Recorder {
  private Recorder() {}

  public static void record(String launcherClass, String[] args) throws IOException {
    try (Writer out = new OutputStreamWriter(
        new FileOutputStream(System.getProperty("jvmtest.out"), true), StandardCharsets.UTF_8)) {
      out.write("class\t" + launcherClass + "\n");
      out.write("args\t" + args.length + "\n");
      for (int i = 0; i < args.length; i++) {
        out.write("arg\t" + i + "\t" + args[i] + "\n");
      }
      Map<String, String> sorted = new TreeMap<>();
      for (String name : System.getProperties().stringPropertyNames()) {
        if (name.startsWith("quoll.") || name.startsWith("jvmtest.") || name.equals("java.library.path")) {
          sorted.put(name, System.getProperty(name));
        }
      }
      for (Map.Entry<String, String> e : sorted.entrySet()) {
        out.write("prop\t" + e.getKey() + "\t" + e.getValue() + "\n");
      }
    }
    if (System.getProperty("jvmtest.throw") != null) {
      throw new IllegalStateException("failing as asked");
    }
  }
}

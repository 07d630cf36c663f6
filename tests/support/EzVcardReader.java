// Reads vCard files with ez-vcard (Debian's libez-vcard-java) and prints their properties as
// JSON, one card per file, in the shape tests/support/read_vcard.py prints:
//   {"FILE": [{"name": "TEL", "params": {"TYPE": ["work", "voice"]}, "singletons": [],
//              "value": "..." or ["...", ...]}, ...], ...}
// Structured values (N, ADR, ORG) and lists (CATEGORIES, NICKNAME) come out as lists of strings
// (a component that ez-vcard splits further at commas is joined again with ","), binary values
// (PHOTO) as base64 text, dates as YYYY-MM-DD, time stamps as YYYY-MM-DDTHH:MM:SSZ, properties
// ez-vcard does not know (X-...) as their text with the backslash escapes undone.
//
// Run with the JDK's single-file source launcher:
//   java -cp /usr/share/java/ez-vcard.jar:/usr/share/java/vinnie.jar EzVcardReader.java FILE...
// A card ez-vcard cannot read makes the program fail (exit status 1) naming the file.

import com.github.mangstadt.vinnie.io.VObjectPropertyValues;
import ezvcard.Ezvcard;
import ezvcard.VCard;
import ezvcard.io.scribe.ScribeIndex;
import ezvcard.io.scribe.VCardPropertyScribe;
import ezvcard.parameter.VCardParameters;
import ezvcard.property.Address;
import ezvcard.property.BinaryProperty;
import ezvcard.property.DateOrTimeProperty;
import ezvcard.property.Gender;
import ezvcard.property.Impp;
import ezvcard.property.ListProperty;
import ezvcard.property.RawProperty;
import ezvcard.property.Related;
import ezvcard.property.Revision;
import ezvcard.property.StructuredName;
import ezvcard.property.Telephone;
import ezvcard.property.TextProperty;
import ezvcard.property.VCardProperty;
import java.io.File;
import java.nio.file.Files;
import java.text.SimpleDateFormat;
import java.util.ArrayList;
import java.util.Base64;
import java.util.Date;
import java.util.List;
import java.util.Map;
import java.util.TimeZone;

public class EzVcardReader {
  private static final ScribeIndex SCRIBES = new ScribeIndex();

  public static void main(String[] args) throws Exception {
    StringBuilder out = new StringBuilder("{");
    for (int i = 0; i < args.length; ++i) {
      String text = new String(Files.readAllBytes(new File(args[i]).toPath()), "UTF-8");
      List<VCard> cards = Ezvcard.parse(text).all();
      if (cards.size() != 1) {
        System.err.println(args[i] + ": ez-vcard read " + cards.size() + " cards");
        System.exit(1);
      }
      if (i > 0)
        out.append(',');
      quote(out, args[i]);
      out.append(":[");
      boolean first = true;
      for (VCardProperty p : cards.get(0).getProperties()) {
        if (!first)
          out.append(',');
        first = false;
        property(out, p);
      }
      out.append(']');
    }
    out.append('}');
    System.out.print(out);
  }

  private static String nameOf(VCardProperty p) {
    if (p instanceof RawProperty)
      return ((RawProperty) p).getPropertyName();
    VCardPropertyScribe<? extends VCardProperty> scribe = SCRIBES.getPropertyScribe(p);
    return scribe == null ? p.getClass().getSimpleName() : scribe.getPropertyName();
  }

  private static void property(StringBuilder out, VCardProperty p) {
    out.append("{\"name\":");
    quote(out, nameOf(p));
    out.append(",\"params\":{");
    VCardParameters params = p.getParameters();
    boolean first = true;
    for (Map.Entry<String, List<String>> e : params) {
      if (!first)
        out.append(',');
      first = false;
      quote(out, e.getKey());
      out.append(':');
      list(out, e.getValue());
    }
    out.append("},\"singletons\":[],\"value\":");
    value(out, p);
    out.append('}');
  }

  private static String join(List<String> parts) {
    return String.join(",", parts);
  }

  private static void value(StringBuilder out, VCardProperty p) {
    if (p instanceof StructuredName) {
      StructuredName n = (StructuredName) p;
      List<String> v = new ArrayList<>();
      v.add(orEmpty(n.getFamily()));
      v.add(orEmpty(n.getGiven()));
      v.add(join(n.getAdditionalNames()));
      v.add(join(n.getPrefixes()));
      v.add(join(n.getSuffixes()));
      list(out, v);
    } else if (p instanceof Address) {
      Address a = (Address) p;
      List<String> v = new ArrayList<>();
      v.add(join(a.getPoBoxes()));
      v.add(join(a.getExtendedAddresses()));
      v.add(join(a.getStreetAddresses()));
      v.add(join(a.getLocalities()));
      v.add(join(a.getRegions()));
      v.add(join(a.getPostalCodes()));
      v.add(join(a.getCountries()));
      list(out, v);
    } else if (p instanceof ListProperty) {
      List<String> v = new ArrayList<>();
      for (Object o : ((ListProperty<?>) p).getValues())
        v.add(String.valueOf(o));
      list(out, v);
    } else if (p instanceof BinaryProperty) {
      BinaryProperty<?> b = (BinaryProperty<?>) p;
      quote(out, b.getData() != null ? Base64.getEncoder().encodeToString(b.getData())
                                     : orEmpty(b.getUrl()));
    } else if (p instanceof DateOrTimeProperty) {
      DateOrTimeProperty d = (DateOrTimeProperty) p;
      if (d.getDate() != null) {
        quote(out, new SimpleDateFormat("yyyy-MM-dd").format(d.getDate()));
      } else if (d.getPartialDate() != null) {
        quote(out, d.getPartialDate().toISO8601(true));
      } else {
        quote(out, orEmpty(d.getText()));
      }
    } else if (p instanceof Revision) {
      Date d = ((Revision) p).getValue();
      SimpleDateFormat f = new SimpleDateFormat("yyyy-MM-dd'T'HH:mm:ss'Z'");
      f.setTimeZone(TimeZone.getTimeZone("UTC"));
      quote(out, d == null ? "" : f.format(d));
    } else if (p instanceof Telephone) {
      Telephone t = (Telephone) p;
      quote(out, t.getText() != null ? t.getText() : String.valueOf(t.getUri()));
    } else if (p instanceof Impp) {
      quote(out, String.valueOf(((Impp) p).getUri()));
    } else if (p instanceof Gender) {
      quote(out, orEmpty(((Gender) p).getGender()));
    } else if (p instanceof Related) {
      Related r = (Related) p;
      quote(out, r.getText() != null ? r.getText() : orEmpty(r.getUri()));
    } else if (p instanceof RawProperty) {
      quote(out, VObjectPropertyValues.unescape(orEmpty(((RawProperty) p).getValue())));
    } else if (p instanceof TextProperty) {
      quote(out, orEmpty(((TextProperty) p).getValue()));
    } else {
      quote(out, String.valueOf(p));
    }
  }

  private static String orEmpty(String s) {
    return s == null ? "" : s;
  }

  private static void list(StringBuilder out, List<String> items) {
    out.append('[');
    for (int i = 0; i < items.size(); ++i) {
      if (i > 0)
        out.append(',');
      quote(out, items.get(i));
    }
    out.append(']');
  }

  private static void quote(StringBuilder out, String s) {
    out.append('"');
    for (int i = 0; i < s.length(); ++i) {
      char c = s.charAt(i);
      if (c == '"' || c == '\\') {
        out.append('\\').append(c);
      } else if (c < 0x20) {
        out.append(String.format("\\u%04x", (int) c));
      } else {
        out.append(c);
      }
    }
    out.append('"');
  }
}

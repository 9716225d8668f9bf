"defaultt.prg runs first in every text view, unless the document's folder (or its
 template's) has a defaultt.prg of its own, which then runs instead. It keeps helpers for
 tables:
   fix(x)                        x as a column ten letters wide with four decimals
   row(a, b, c)                  three such columns and the line end, as one text
   say(text, value)              prints the text and the value with two decimals
   both(text, format, a, b)      prints the text, a and b in the format, and the line end
 Names starting with tb. belong to the helpers.";

fix(tb.x) := {ANYTOS("%10.4lf", tb.x)};
row(tb.a, tb.b, tb.c) := {fix(tb.a) + fix(tb.b) + fix(tb.c) + CHR(10)};
say(tb.text, tb.value) := {
    PRINTF("%s", tb.text);
    PRINTF("%1.2lf", tb.value)
};
both(tb.text, tb.format, tb.a, tb.b) := {
    PRINTF("%s", tb.text);
    PRINTF(tb.format, tb.a);
    PRINTF(tb.format, tb.b);
    PRINTF("%s", CHR(10))
}

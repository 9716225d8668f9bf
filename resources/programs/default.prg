"default.prg runs first in the main interpreter of every document, unless the document's
 folder (or its template's) has a default.prg of its own, which then runs instead. Its
 functions are seen by the main program and, through the parent link, by every view program.
 It keeps the helpers that read the main input:
   squeeze(text)          the text without blanks, in small letters
   param(name, default)   the number after 'name =' in the main input, or the default;
                          a value that is no number stops the run with a message
 Names starting with p. belong to the helpers.";

"squeeze(text): the text without blanks, in small letters.";
squeeze(p.text) := {
    p.out := ""; p.k := 0;
    WHILE({p.k < STRLEN(p.text)}, {
        p.c := ASC(STRMID(p.text, p.k, 1));
        IF(p.c > 32, {
            IF(p.c >= 65 && p.c <= 90, {p.out := p.out + CHR(p.c + 32)},
                                       {p.out := p.out + CHR(p.c)})
        }, {0});
        p.k := p.k + 1
    });
    p.out
};

"param(name, default): the number after 'name =' in the main input, or the default.";
param(p.name, p.default) := {
    p.value := p.default * 1.0;
    p.rest := GETCONFIG(0) + CHR(10);
    WHILE({STRLEN(p.rest) > 0}, {
        p.end := FINDCHAR(p.rest, CHR(10));
        p.line := STRMID(p.rest, 0, p.end);
        p.rest := STRMID(p.rest, p.end + 1, STRLEN(p.rest));
        p.eq := FINDCHAR(p.line, "=");
        IF(p.eq > 0, {
            IF(squeeze(STRMID(p.line, 0, p.eq)) == squeeze(p.name), {
                p.text := STRMID(p.line, p.eq + 1, STRLEN(p.line));
                "A value that is no number stops the run at its own line, not later in the model.";
                p.first := squeeze(p.text);
                IF(p.first == "" || FINDCHAR("0123456789.+-", p.first) < 0,
                   {ABORT("The main input gives no number for " + p.name + ": " + p.line)}, {0});
                p.value := ATOF(p.text)
            }, {0})
        }, {0})
    });
    p.value
};

# Doxygen's input filter for the public headers (scripts/docs). The headers document with
# plain // comments: a comment block directly above a declaration documents it, and one
# above a run of declarations with no blank line between documents the whole run. This turns
# the first into Doxygen's /// comments and the second into a member group whose
# documentation every member shares (DISTRIBUTE_GROUP_DOC). Trailing comments after code
# stay ordinary comments. Line numbers are kept: the group markers share the first and last
# line of the run.

function flush_comments(   i) {
    for (i = 1; i <= ncomments; ++i) print comments[i]
    ncomments = 0
}

# Prints the comment block and the run of declarations below it, grouped when the run holds
# more than one declaration and stays within one scope and one access section.
function flush_run(   i, declarations, opened, closed, text, grouped) {
    declarations = 0; opened = 0; closed = 0; grouped = 0
    for (i = 1; i <= nrun; ++i) {
        text = run[i]
        sub(/\/\/.*$/, "", text)
        if (text ~ /;[ \t]*$/ || text ~ /}[ \t]*$/) ++declarations
        opened += gsub(/{/, "{", text)
        closed += gsub(/}/, "}", text)
        if (text ~ /^[ \t]*(public|private|protected):/) grouped = -1
    }
    grouped = grouped == 0 && ncomments > 0 && declarations > 1 && opened == closed
    if (grouped) comments[1] = "//@{ " comments[1]
    flush_comments()
    for (i = 1; i <= nrun; ++i) {
        if (grouped && i == nrun) print run[i] " //@}"
        else print run[i]
    }
    nrun = 0
}

/^[ \t]*\/\/( |$)/ {
    if (nrun > 0) flush_run()
    line = $0
    sub(/\/\//, "///", line)
    comments[++ncomments] = line
    next
}

/^[ \t]*$/ || /^#/ {
    if (nrun > 0) flush_run()
    flush_comments()
    print
    next
}

{
    if (ncomments == 0 && nrun == 0) { print; next }
    run[++nrun] = $0
}

END {
    if (nrun > 0) flush_run()
    flush_comments()
}

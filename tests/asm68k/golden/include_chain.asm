; An error in an included file names that file by a path that works from
; here (inc/inner.inc, though inc/outer.inc includes it as "inner.inc"),
; then the chain of includes and macro calls that led to it, innermost
; first.
byte	macro
	dc.b	\1
	endm
	include	"inc/outer.inc"

; A small program written with macros, conditional assembly and rept.
; flat.s is the same program written out by hand for GNU as: both must
; give the same bytes.
VERSION equ     2
DEBUG   equ     0

push    macro
        move.\0 \1,-(sp)
        endm
pop     macro
        move.\0 (sp)+,\1
        endm

; Copies \2 words from \1 to \3, with a loop label of its own.
copy    macro
        lea     \1(pc),a0
        lea     \3(pc),a1
        move.w  #\2-1,d7
.loop\@ move.w  (a0)+,(a1)+
        dbra    d7,.loop\@
        endm

; Calls \1, keeping the register \2 when one is named.
call    macro
        ifgt    narg-1
        push.l  \2
        endif
        bsr.w   \1
        ifgt    narg-1
        pop.l   \2
        endif
        endm

; Shifts d0 left by 1 \1 times, with a nop pair before each shift.
shifts  macro
        rept    \1
        rept    2
        nop
        endr
        lsl.w   #1,d0
        endr
        endm

start:  call    init,d2
        call    work
        if VERSION>=2
        copy    table,4,buffer
        copy    table,2,buffer+4
        elseif VERSION=1
        nop
        else
        illegal
        endif
        ifne    DEBUG
        trap    #0
        endc
        ifd     start
        ifnd    undefined_name
        ifc     'abc','abc'
        move.w  #VERSION<<8|DEBUG,d1
        endc
        endc
        endc
        rts
init:   moveq   #0,d0
        rept    3
        addq.w  #1,d0
        endr
        rts
work:   shifts  2
        rts
table:  dc.w    1,2,3,4
buffer: dcb.w   6,0

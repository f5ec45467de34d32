* The program of macros.asm written out by hand (for GNU as).
start:  move.l  d2,-(sp)
        bsr.w   init
        move.l  (sp)+,d2
        bsr.w   work
        lea     table(pc),a0
        lea     buffer(pc),a1
        move.w  #3,d7
loop1:  move.w  (a0)+,(a1)+
        dbra    d7,loop1
        lea     table(pc),a0
        lea     buffer+4(pc),a1
        move.w  #1,d7
loop2:  move.w  (a0)+,(a1)+
        dbra    d7,loop2
        move.w  #$200,d1
        rts
init:   moveq   #0,d0
        addq.w  #1,d0
        addq.w  #1,d0
        addq.w  #1,d0
        rts
work:   nop
        nop
        lsl.w   #1,d0
        nop
        nop
        lsl.w   #1,d0
        rts
table:  dc.w    1,2,3,4
buffer: dcb.w   6,0

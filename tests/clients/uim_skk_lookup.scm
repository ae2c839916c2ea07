;; Looks readings up in uim-skk's dictionary as uim-skk does.
;;
;; uim-sh uim_skk_lookup.scm < REQUESTS, with uim's user file (~/.uim, or
;; LIBUIM_USER_SCM_FILE) holding the user's settings. The dictionary is
;; opened as skk-context-new opens it, from skk-dic-file-name and the
;; skkserv settings; each request is looked up as skk-begin-conversion does,
;; and its candidates are taken as skk-prepare-commit-string commits them
;; (annotation removed, concat undone). A request line is the head, a TAB,
;; the okuri head (empty for okuri-nasi) and a TAB and the okurigana kana.
;; For each request prints "R" and the request, a line "C" and the text of
;; each candidate, and "E" (or "N" where uim-skk finds no entry).

(define read-request-line
  (lambda ()
    (let loop ((c (read-char)) (acc '()))
      (cond ((eof-object? c) (if (null? acc) c (list->string (reverse acc))))
            ((char=? c #\newline) (list->string (reverse acc)))
            (else (loop (read-char) (cons c acc)))))))

(define split-tab
  (lambda (s)
    (let loop ((cs (string->list s)) (field '()) (fields '()))
      (cond ((null? cs)
             (reverse (cons (list->string (reverse field)) fields)))
            ((char=? (car cs) #\tab)
             (loop (cdr cs) '() (cons (list->string (reverse field)) fields)))
            (else (loop (cdr cs) (cons (car cs) field) fields))))))

(define look-up
  (lambda (dic line)
    (let* ((fields (split-tab line))
           (head (car fields))
           (okuri-head (cadr fields))
           (okuri (caddr fields)))
      (display "R")(display line)(newline)
      (if (skk-lib-get-entry dic head okuri-head okuri
                             skk-use-numeric-conversion?)
          (let ((n (skk-lib-get-nr-candidates dic head okuri-head okuri
                                              skk-use-numeric-conversion?)))
            (let loop ((i 0))
              (if (< i n)
                  (begin
                    (display "C")
                    (display (skk-lib-eval-candidate
                              (skk-lib-remove-annotation
                               (skk-lib-get-nth-candidate
                                dic i (cons head okuri-head) okuri
                                skk-use-numeric-conversion?))))
                    (newline)
                    (loop (+ i 1)))))
            (display "E")(newline))
          (begin (display "N")(newline))))))

(define main
  (lambda (args)
    (require-module "skk")
    (let ((dic (skk-lib-dic-open skk-dic-file-name
                                 skk-use-skkserv?
                                 (if skk-skkserv-use-env?
                                     (or (getenv "SKKSERVER") "localhost")
                                     skk-skkserv-hostname)
                                 skk-skkserv-portnum
                                 skk-skkserv-address-family)))
      (display "F")(display skk-dic-file-name)(newline)
      (let loop ((line (read-request-line)))
        (if (not (eof-object? line))
            (begin
              (if (> (string-length line) 0) (look-up dic line))
              (loop (read-request-line)))))
      0)))
